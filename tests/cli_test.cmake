# The command-line tool shrinks the bundled example to its budget.
execute_process(COMMAND ${CLI} --max-chars 1500 --indent 0 --envelope ${SOURCE}/examples/issues.json
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tersolite exited with ${rc}: ${out}")
endif()
if(NOT out MATCHES "^\\{\"ok\":true,\"text\":")
  message(FATAL_ERROR "unexpected envelope: ${out}")
endif()
execute_process(COMMAND ${CLI} --options "[]" ${SOURCE}/examples/issues.json
  ERROR_VARIABLE err RESULT_VARIABLE rc)
if(rc EQUAL 0 OR NOT err STREQUAL "tersolite: invalid options: options must be a JSON object\n")
  message(FATAL_ERROR "bad options not reported: ${rc} ${err}")
endif()
# Two processes (two random hash seeds) give the same bytes.
foreach(run 1 2)
  execute_process(COMMAND ${CLI} --max-chars 1200 --strategy condense --query "open bugs by priority" --explain
                          --envelope ${SOURCE}/examples/issues.json
    OUTPUT_VARIABLE envelope_${run} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "condense run ${run} failed: ${envelope_${run}}")
  endif()
endforeach()
if(NOT envelope_1 STREQUAL envelope_2)
  message(FATAL_ERROR "two processes answered differently:\n${envelope_1}\n${envelope_2}")
endif()
# A mapped file and the same bytes on standard input give the same answer;
# an empty file reaches the library, which reports it.
execute_process(COMMAND ${CLI} --max-chars 900 --envelope - INPUT_FILE ${SOURCE}/examples/issues.json
  OUTPUT_VARIABLE piped RESULT_VARIABLE rc)
execute_process(COMMAND ${CLI} --max-chars 900 --envelope ${SOURCE}/examples/issues.json
  OUTPUT_VARIABLE mapped RESULT_VARIABLE rc2)
if(NOT rc EQUAL 0 OR NOT rc2 EQUAL 0 OR NOT piped STREQUAL mapped)
  message(FATAL_ERROR "standard input and a file answered differently:\n${piped}\n${mapped}")
endif()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/empty.json "")
execute_process(COMMAND ${CLI} ${CMAKE_CURRENT_BINARY_DIR}/empty.json ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 1 OR NOT err MATCHES "^tersolite: invalid JSON input")
  message(FATAL_ERROR "an empty file was not reported: ${rc} ${err}")
endif()
