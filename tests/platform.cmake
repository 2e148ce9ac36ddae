# SPDX-License-Identifier: MIT
# The platform layer: atomic saves and reads on raw byte paths.

krcommon_add_test(savefiletest SOURCES savefiletest.cpp LIBRARIES KrCommonInternal)
