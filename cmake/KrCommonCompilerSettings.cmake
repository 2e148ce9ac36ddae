# SPDX-License-Identifier: MIT
# Settings shared by the library, its tests, benchmarks and fuzzers.

# krcommon_apply_settings(<target>)
# Warnings on, and Qt's implicit 8-bit conversions off: Qt 4 treated 8-bit text
# as Latin-1, Qt 5 as UTF-8, so every conversion must be spelled out.
function(krcommon_apply_settings target)
  target_compile_options(${target} PRIVATE
    $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra>
    $<$<CXX_COMPILER_ID:MSVC>:/W4>)
  target_compile_definitions(${target} PRIVATE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_FOREACH
    # Debug builds check container bounds, however they are configured: a
    # write one past the end fails there instead of going unnoticed.
    $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
endfunction()
