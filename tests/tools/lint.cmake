# Runs `zeph lint` on one description and checks its exit status, the number of problems on the
# summary line, and that each expected message occurs exactly once.
# -DTOOL= -DINPUT= -DSTATUS=0|1 -DCOUNT=n -DEXPECT="regex;regex;..."
execute_process(COMMAND ${TOOL} lint ${INPUT} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status EQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${out}${err}")
endif()
if(NOT out MATCHES ": ${COUNT} problems? in [0-9]+ entr(y|ies), [0-9]+ members?, [0-9]+ constants?\n$")
  message(FATAL_ERROR "expected ${COUNT} problems on the summary line:\n${out}")
endif()
foreach(expect IN LISTS EXPECT)
  string(REGEX MATCHALL "${expect}" hits "${out}")
  list(LENGTH hits n)
  if(NOT n EQUAL 1)
    message(FATAL_ERROR "'${expect}' found ${n} times, expected once:\n${out}")
  endif()
endforeach()
