# SPDX-License-Identifier: MIT
# Cross-compiling for 64-bit Windows with mingw-w64 (POSIX threads, for
# std::thread and std::mutex) against Qt and Google Benchmark built for
# Windows by scripts/install-windows-deps. Programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KRCOMMON_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KRCOMMON_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KRCOMMON_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KRCOMMON_MINGW_TRIPLE}-windres)

if(DEFINED ENV{KRCOMMON_WIN_CACHE})
  set(KRCOMMON_WIN_CACHE "$ENV{KRCOMMON_WIN_CACHE}")
else()
  set(KRCOMMON_WIN_CACHE /var/cache/krcommon)
endif()
# A host's CMAKE_PREFIX_PATH (an installed KrCommon) is searched as a root too.
set(CMAKE_FIND_ROOT_PATH /usr/${KRCOMMON_MINGW_TRIPLE}
  ${KRCOMMON_WIN_CACHE}/qt5-mingw64 ${KRCOMMON_WIN_CACHE}/benchmark-mingw64 ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime DLLs, which the programs need beside them.
set(KRCOMMON_MINGW_RUNTIME_DIRS
  /usr/lib/gcc/${KRCOMMON_MINGW_TRIPLE}/12-posix /usr/${KRCOMMON_MINGW_TRIPLE}/lib)

find_program(KRCOMMON_WINE NAMES wine wine64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KRCOMMON_WINE})

# Where Wine finds the DLLs the programs load: Qt's and the compiler
# runtime's (tests/CMakeLists.txt adds the library's own directory).
set(KRCOMMON_WINEPATH_DIRS ${KRCOMMON_WIN_CACHE}/qt5-mingw64/bin ${KRCOMMON_MINGW_RUNTIME_DIRS})
