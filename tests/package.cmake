# SPDX-License-Identifier: MIT
# The installed package as hosts use it: install into the build tree, then
# build and run the example host against it with find_package() and with
# pkg-config, and check what the shared library exports.

set(KRCOMMON_TEST_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/package-prefix)

add_test(NAME package_install
  COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${KRCOMMON_TEST_PREFIX})
set_tests_properties(package_install PROPERTIES FIXTURES_SETUP krcommon_package)

# krcommon_add_host_test(<name> <project dir>): configures, builds and tests a
# host project against the installed package, with this build's compiler and
# flags (so sanitizer builds stay consistent).
function(krcommon_add_host_test name project_dir)
  set(cross_options)
  if(CMAKE_CROSSCOMPILING)
    set(cross_options -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_CTEST_COMMAND}
      --build-and-test ${project_dir} ${CMAKE_CURRENT_BINARY_DIR}/${name}
      --build-generator ${CMAKE_GENERATOR}
      --build-options
        -DCMAKE_PREFIX_PATH=${KRCOMMON_TEST_PREFIX}
        -DQT_MAJOR_VERSION=${QT_MAJOR_VERSION}
        -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
        "-DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}"
        -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
        ${cross_options}
      --test-command ${CMAKE_CTEST_COMMAND} --output-on-failure)
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED krcommon_package)
  krcommon_test_environment(${name} ${KRCOMMON_TEST_PREFIX}/${CMAKE_INSTALL_BINDIR})
endfunction()

# The example host, found through find_package().
krcommon_add_host_test(package_find_package ${PROJECT_SOURCE_DIR}/examples/viewer-prep)

# On Windows the suites already run against the DLL, and pkg-config is no
# Windows host's tool.
if(WIN32)
  add_test(NAME exported_symbols
    COMMAND ${CMAKE_COMMAND}
      -DLIBRARY=$<TARGET_FILE:KrCommon>
      -DOBJDUMP=${CMAKE_OBJDUMP}
      -P ${CMAKE_CURRENT_SOURCE_DIR}/exported_symbols.cmake)
  return()
endif()

# The public-API suites, built as a host would build them.
krcommon_add_host_test(package_public_api ${CMAKE_CURRENT_SOURCE_DIR}/installed)

add_test(NAME package_pkgconfig
  COMMAND ${CMAKE_COMMAND}
    -DPREFIX=${KRCOMMON_TEST_PREFIX}
    -DLIBDIR=${CMAKE_INSTALL_LIBDIR}
    -DPC_NAME=${KRCOMMON_PC_NAME}
    -DSOURCE=${PROJECT_SOURCE_DIR}/examples/viewer-prep/main.cpp
    -DWORKDIR=${CMAKE_CURRENT_BINARY_DIR}/pkgconfig-consumer
    -DCXX=${CMAKE_CXX_COMPILER}
    "-DCXXFLAGS=${CMAKE_CXX_FLAGS}"
    -P ${CMAKE_CURRENT_SOURCE_DIR}/pkgconfig_consumer.cmake)
set_tests_properties(package_pkgconfig PROPERTIES FIXTURES_REQUIRED krcommon_package)

add_test(NAME exported_symbols
  COMMAND ${CMAKE_COMMAND}
    -DLIBRARY=$<TARGET_FILE:KrCommon>
    -P ${CMAKE_CURRENT_SOURCE_DIR}/exported_symbols.cmake)
