# SPDX-License-Identifier: MIT
# Install rules: library, public headers under include/KrCommon/, the CMake
# package KrCommon (target KrCommon::KrCommon) and the pkg-config file krcommon.pc.
include(CMakePackageConfigHelpers)

set(KRCOMMON_CMAKECONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/KrCommon")

install(TARGETS KrCommon
  EXPORT KrCommonTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KrCommon)

install(EXPORT KrCommonTargets
  NAMESPACE KrCommon::
  FILE KrCommonTargets.cmake
  DESTINATION ${KRCOMMON_CMAKECONFIG_DIR})

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/KrCommonConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KrCommonConfig.cmake
  INSTALL_DESTINATION ${KRCOMMON_CMAKECONFIG_DIR})

# A 2.x must not satisfy find_package(KrCommon 1): the major version is the SOVERSION.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/KrCommonConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)

install(FILES
  ${PROJECT_BINARY_DIR}/KrCommonConfig.cmake
  ${PROJECT_BINARY_DIR}/KrCommonConfigVersion.cmake
  DESTINATION ${KRCOMMON_CMAKECONFIG_DIR})

export(EXPORT KrCommonTargets
  NAMESPACE KrCommon::
  FILE ${PROJECT_BINARY_DIR}/KrCommonTargets.cmake)

# Relocatable: the prefix is found from where the .pc file lies.
file(RELATIVE_PATH KRCOMMON_PC_TO_PREFIX
  "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${PROJECT_SOURCE_DIR}/cmake/krcommon.pc.in
  ${PROJECT_BINARY_DIR}/krcommon.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/krcommon.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
