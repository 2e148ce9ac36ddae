# SPDX-License-Identifier: MIT
# Paths, directories, file comparison and process termination.

krcommon_add_test(pathtest SOURCES pathtest.cpp LIBRARIES KrCommon::KrCommon ${KRCOMMON_QT_CODEC_TARGET})
krcommon_add_test(directorytest SOURCES directorytest.cpp LIBRARIES KrCommon::KrCommon ${KRCOMMON_QT_CODEC_TARGET})
krcommon_add_test(fileprocesstest SOURCES fileprocesstest.cpp LIBRARIES KrCommon::KrCommon)
