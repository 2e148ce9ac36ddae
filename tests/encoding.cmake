# SPDX-License-Identifier: MIT
# Text encodings: the members of CKrCommon and the code-page layer beneath them.

krcommon_add_test(encodingtest SOURCES encodingtest.cpp LIBRARIES KrCommon::KrCommon)
krcommon_add_test(codepagetest SOURCES codepagetest.cpp LIBRARIES KrCommonInternal)
