# SPDX-License-Identifier: MIT
# Runs a QTest program under Wine and prints its log, which under Wine does
# not reach standard output. Arguments: EMULATOR, PROGRAM, LOG.
# Standard output and error go to a file: a process the program leaves behind
# (a console host) would otherwise keep a pipe open and the test waiting.
# Wine once failed to start a program at all (exit 1 at once, no log) while
# other tests ran; a program that never got to its log is started once more.
foreach(attempt 1 2)
  file(REMOVE ${LOG})
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} -o ${LOG},txt RESULT_VARIABLE result
    OUTPUT_FILE ${LOG}.out ERROR_FILE ${LOG}.out)
  if(result EQUAL 0 OR EXISTS ${LOG})
    break()
  endif()
  file(READ ${LOG}.out out)
  message("${PROGRAM} did not start (${result}); Wine said: ${out}")
endforeach()
if(EXISTS ${LOG})
  file(READ ${LOG} log)
  message("${log}")
endif()
if(NOT result EQUAL 0)
  # What Wine itself said, for a program that did not get as far as its log.
  file(READ ${LOG}.out out)
  message("${out}")
  message(FATAL_ERROR "${PROGRAM} ended with ${result}")
endif()
