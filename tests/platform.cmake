# SPDX-License-Identifier: MIT
# The platform layer: atomic saves and reads on raw byte paths.

# Linux only: it forks, watches with inotify, reads /proc and sets links up
# with sh. On Windows saves are tested through CKrLumoParaFile.
if(WIN32)
  return()
endif()

krcommon_add_test(savefiletest SOURCES savefiletest.cpp LIBRARIES KrCommonInternal)

# Not a test: the load-edit-save host that scripts/check-save-faults runs under strace.
add_executable(savefiletestdriver savefiletestdriver.cpp)
target_link_libraries(savefiletestdriver PRIVATE KrCommon::KrCommon)
krcommon_apply_settings(savefiletestdriver)
