# SPDX-License-Identifier: MIT
# Runs a QTest program under Wine and prints its log, which under Wine does
# not reach standard output. Arguments: EMULATOR, PROGRAM, LOG.
execute_process(COMMAND ${EMULATOR} ${PROGRAM} -o ${LOG},txt RESULT_VARIABLE result)
if(EXISTS ${LOG})
  file(READ ${LOG} log)
  message("${log}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ended with ${result}")
endif()
