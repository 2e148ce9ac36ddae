# SPDX-License-Identifier: MIT
# Text encodings: the members of CKrCommon and the code-page layer beneath them.

krcommon_add_test(encodingtest SOURCES encodingtest.cpp LIBRARIES KrCommon::KrCommon ${KRCOMMON_QT_CODEC_TARGET})
krcommon_add_test(codepagetest SOURCES codepagetest.cpp LIBRARIES KrCommonInternal)
