# SPDX-License-Identifier: MIT
# The Qt the library is built against, chosen with QT_MAJOR_VERSION (5 or 6),
# and the names that keep the two builds apart when both are installed into
# one prefix: the Qt 6 build carries a "Qt6" suffix on its library, CMake
# package and target namespace, and "-qt6" on its pkg-config module.
#
# KRCOMMON_QT             Qt5 or Qt6: the prefix of the Qt targets to link
# KRCOMMON_NAME           KrCommon or KrCommonQt6: library file, CMake package,
#                         target namespace and header directory
# KRCOMMON_PC_NAME        krcommon or krcommon-qt6
# KRCOMMON_QT_MIN_VERSION the oldest Qt of that major version we support
# KRCOMMON_INCLUDE_ROOT   where the KrCommon/ header directory is installed,
#                         so hosts write <KrCommon/CKrCommon.h> with either

if(QT_MAJOR_VERSION STREQUAL "5")
  set(KRCOMMON_QT_MIN_VERSION 5.15)
  set(KRCOMMON_NAME KrCommon)
  set(KRCOMMON_PC_NAME krcommon)
  set(KRCOMMON_INCLUDE_ROOT ${CMAKE_INSTALL_INCLUDEDIR})
elseif(QT_MAJOR_VERSION STREQUAL "6")
  set(KRCOMMON_QT_MIN_VERSION 6.4)
  set(KRCOMMON_NAME KrCommonQt6)
  set(KRCOMMON_PC_NAME krcommon-qt6)
  set(KRCOMMON_INCLUDE_ROOT ${CMAKE_INSTALL_INCLUDEDIR}/KrCommonQt6)
else()
  message(FATAL_ERROR "QT_MAJOR_VERSION must be 5 or 6, not '${QT_MAJOR_VERSION}'")
endif()
set(KRCOMMON_QT Qt${QT_MAJOR_VERSION})

find_package(${KRCOMMON_QT} ${KRCOMMON_QT_MIN_VERSION} REQUIRED COMPONENTS Core)
# Qt 6 moved QTextCodec, which carries the local code page, to Core5Compat.
if(QT_MAJOR_VERSION STREQUAL "6")
  find_package(Qt6 ${KRCOMMON_QT_MIN_VERSION} REQUIRED COMPONENTS Core5Compat)
  set(KRCOMMON_QT_CODEC_TARGET Qt6::Core5Compat)
else()
  set(KRCOMMON_QT_CODEC_TARGET Qt5::Core)
endif()
message(STATUS "KrCommon: building ${KRCOMMON_NAME} against Qt ${${KRCOMMON_QT}Core_VERSION}")
