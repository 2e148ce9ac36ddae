# SPDX-License-Identifier: MIT
# The singleton and the utility members of CKrCommon.

# Included first: forked test children write their coverage counters
# (testhelpers.h) in every test binary of a --coverage build.
if(CMAKE_CXX_FLAGS MATCHES "--coverage")
  add_compile_definitions(KRCOMMON_TEST_COVERAGE)
endif()

krcommon_add_test(singletontest SOURCES singletontest.cpp LIBRARIES KrCommon::KrCommon)
krcommon_add_test(blockgridtest SOURCES blockgridtest.cpp LIBRARIES KrCommon::KrCommon)
