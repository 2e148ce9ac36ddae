# SPDX-License-Identifier: MIT
# Runs a QTest program under Wine and prints its log, which under Wine does
# not reach standard output. Arguments: EMULATOR, PROGRAM, LOG.
# Standard output and error go to a file: a process the program leaves behind
# (a console host) would otherwise keep a pipe open and the test waiting.
execute_process(COMMAND ${EMULATOR} ${PROGRAM} -o ${LOG},txt RESULT_VARIABLE result
  OUTPUT_FILE ${LOG}.out ERROR_FILE ${LOG}.out)
if(EXISTS ${LOG})
  file(READ ${LOG} log)
  message("${log}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ended with ${result}")
endif()
