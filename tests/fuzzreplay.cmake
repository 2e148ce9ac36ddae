# SPDX-License-Identifier: MIT
# The fuzzers' own checks over their corpora (tests/fuzz/corpus/NAME), run as
# tests in every build: POSIX only, as the fuzzers are.
if(WIN32)
  return()
endif()

function(krcommon_add_replay name)
  add_executable(${name}_replay fuzz/${name}_fuzzer.cpp fuzz/replay.cpp)
  target_link_libraries(${name}_replay PRIVATE ${ARGN} ${KRCOMMON_QT_CODEC_TARGET})
  krcommon_apply_settings(${name}_replay)
  add_test(NAME ${name}_replay COMMAND ${name}_replay ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${name})
endfunction()

krcommon_add_replay(encoding KrCommon::KrCommon KrCommonInternal)
krcommon_add_replay(lmfilereader KrCommonInternal)
krcommon_add_replay(stringhelpers KrCommon::KrCommon)
krcommon_add_replay(paths KrCommon::KrCommon)
