# Runs TOOL with ARGS (one string, split as a shell would) in DIR and compares what it prints,
# standard output and error merged in the order written, and its exit status with GOLDEN and
# STATUS. A differing output is left in OUT to compare by hand.
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${TOOL} ${args} WORKING_DIRECTORY ${DIR}
                OUTPUT_VARIABLE printed ERROR_VARIABLE printed RESULT_VARIABLE status)
file(READ ${GOLDEN} expected)
if(NOT "${status}" STREQUAL "${STATUS}")
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}")
endif()
if(NOT "${printed}" STREQUAL "${expected}")
  file(WRITE ${OUT} "${printed}")
  message(FATAL_ERROR "the output differs from ${GOLDEN}; it is in ${OUT}")
endif()
