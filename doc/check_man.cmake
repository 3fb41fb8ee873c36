# Formats the manual page PAGE with GROFF (all warnings on) and fails when groff reports
# anything on its error stream or ends with a non-zero status.
if(NOT GROFF)
  message(FATAL_ERROR "groff not found (install groff-base)")
endif()
execute_process(
  COMMAND ${GROFF} -ww -man -Tutf8 ${PAGE}
  OUTPUT_FILE /dev/null
  ERROR_VARIABLE warnings
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "groff ended with status ${status}:\n${warnings}")
endif()
if(NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff warnings on ${PAGE}:\n${warnings}")
endif()
message(STATUS "${PAGE}: no groff warnings")
