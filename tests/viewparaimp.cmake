# SPDX-License-Identifier: MIT
# The catalogue, show test and registry behind the view parameter file, and
# the exported facade as a host sees it.

krcommon_add_test(viewparaimptest SOURCES viewparaimptest.cpp LIBRARIES KrCommonInternal)
krcommon_add_test(lumoparafiletest SOURCES lumoparafiletest.cpp LIBRARIES KrCommon::KrCommon)
