# SPDX-License-Identifier: MIT
# Paths, directories, file comparison and process termination.

krcommon_add_test(pathtest SOURCES pathtest.cpp LIBRARIES KrCommon::KrCommon)
krcommon_add_test(directorytest SOURCES directorytest.cpp LIBRARIES KrCommon::KrCommon)
krcommon_add_test(fileprocesstest SOURCES fileprocesstest.cpp LIBRARIES KrCommon::KrCommon)
if(WIN32)
  # The child the process tests end: Windows has no sleep program to copy.
  # Its path on Wine's Z: drive.
  # A GUI-subsystem program: Wine would give a console one a console host
  # that outlives its kill and holds the test's output open.
  add_executable(sleeper WIN32 sleeper_win.cpp)
  target_link_options(sleeper PRIVATE -static)
  target_compile_definitions(fileprocesstest PRIVATE KRCOMMON_SLEEPER="Z:$<TARGET_FILE:sleeper>")
  add_dependencies(fileprocesstest sleeper)
endif()
