# SPDX-License-Identifier: MIT
# Builds and runs a host with nothing but the flags pkg-config gives for the
# installed krcommon.pc. Arguments: PREFIX LIBDIR PC_NAME SOURCE WORKDIR CXX CXXFLAGS.
find_program(PKG_CONFIG pkg-config REQUIRED)
file(MAKE_DIRECTORY ${WORKDIR})
set(ENV{PKG_CONFIG_PATH} "${PREFIX}/${LIBDIR}/pkgconfig")

execute_process(COMMAND ${PKG_CONFIG} --cflags --libs ${PC_NAME}
  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find ${PC_NAME} in ${PREFIX}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(cxxflags UNIX_COMMAND "${CXXFLAGS}")

execute_process(
  COMMAND ${CXX} ${cxxflags} -std=c++17 -fPIC ${SOURCE} ${flags}
          -Wl,-rpath,${PREFIX}/${LIBDIR} -o ${WORKDIR}/viewer-prep
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the host does not build with pkg-config's flags: ${flags}")
endif()

execute_process(COMMAND ${WORKDIR}/viewer-prep ${WORKDIR}/run RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the host built with pkg-config's flags failed: ${result}")
endif()
