# SPDX-License-Identifier: MIT
# Install rules: the library, the public headers under <root>/KrCommon/, the
# CMake package (KrCommon, or KrCommonQt6 for the Qt 6 build) with the target
# <package>::KrCommon, and the pkg-config module (krcommon, or krcommon-qt6).
# The two Qt builds share no installed file, so both fit into one prefix.
include(CMakePackageConfigHelpers)

set(KRCOMMON_CMAKECONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/${KRCOMMON_NAME}")

install(TARGETS KrCommon
  EXPORT KrCommonTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${KRCOMMON_INCLUDE_ROOT}/KrCommon)

install(EXPORT KrCommonTargets
  NAMESPACE ${KRCOMMON_NAME}::
  FILE ${KRCOMMON_NAME}Targets.cmake
  DESTINATION ${KRCOMMON_CMAKECONFIG_DIR})

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/KrCommonConfig.cmake.in
  ${PROJECT_BINARY_DIR}/${KRCOMMON_NAME}Config.cmake
  INSTALL_DESTINATION ${KRCOMMON_CMAKECONFIG_DIR})

# A 2.x must not satisfy find_package(KrCommon 1): the major version is the SOVERSION.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/${KRCOMMON_NAME}ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)

install(FILES
  ${PROJECT_BINARY_DIR}/${KRCOMMON_NAME}Config.cmake
  ${PROJECT_BINARY_DIR}/${KRCOMMON_NAME}ConfigVersion.cmake
  DESTINATION ${KRCOMMON_CMAKECONFIG_DIR})

export(EXPORT KrCommonTargets
  NAMESPACE ${KRCOMMON_NAME}::
  FILE ${PROJECT_BINARY_DIR}/${KRCOMMON_NAME}Targets.cmake)

# What the library links privately, for a static link (pkg-config --static).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(KRCOMMON_PC_LIBS_PRIVATE "-lacl -lattr")
endif()
# Relocatable: the prefix is found from where the .pc file lies.
file(RELATIVE_PATH KRCOMMON_PC_TO_PREFIX
  "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${PROJECT_SOURCE_DIR}/cmake/krcommon.pc.in
  ${PROJECT_BINARY_DIR}/${KRCOMMON_PC_NAME}.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${KRCOMMON_PC_NAME}.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
