# SPDX-License-Identifier: MIT
# The view parameter file model, its path lists and its file format.

krcommon_add_test(pathlisttest SOURCES pathlisttest.cpp LIBRARIES KrCommonInternal)
krcommon_add_test(lmfileformattest SOURCES lmfileformattest.cpp LIBRARIES KrCommonInternal)
