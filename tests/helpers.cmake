# SPDX-License-Identifier: MIT
# The geometry and string helpers of CKrCommon.

krcommon_add_test(sheetrelationtest SOURCES sheetrelationtest.cpp LIBRARIES KrCommon::KrCommon KrCommonInternal)
target_compile_definitions(sheetrelationtest PRIVATE KRCOMMON_INTERNALS) # the index's candidate count
krcommon_add_test(stringhelperstest SOURCES stringhelperstest.cpp LIBRARIES KrCommon::KrCommon)
