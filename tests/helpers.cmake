# SPDX-License-Identifier: MIT
# The geometry and string helpers of CKrCommon.

krcommon_add_test(sheetrelationtest SOURCES sheetrelationtest.cpp LIBRARIES KrCommon::KrCommon KrCommonInternal)
krcommon_add_test(stringhelperstest SOURCES stringhelperstest.cpp LIBRARIES KrCommon::KrCommon)
