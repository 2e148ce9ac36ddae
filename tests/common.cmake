# SPDX-License-Identifier: MIT
# The singleton and the utility members of CKrCommon.

krcommon_add_test(singletontest SOURCES singletontest.cpp LIBRARIES KrCommon::KrCommon)
# Separate binaries, so each starts with no instance.
krcommon_add_test(singletonracetest SOURCES singletonracetest.cpp LIBRARIES KrCommon::KrCommon)
krcommon_add_test(blockgridtest SOURCES blockgridtest.cpp LIBRARIES KrCommon::KrCommon)
