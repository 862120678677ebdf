# zeph xml --raw must print the sample's bytes unchanged (it is in the writer's own layout).
execute_process(COMMAND ${TOOL} xml --raw ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zeph xml --raw failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${INPUT} ${OUTPUT} RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
  message(FATAL_ERROR "zeph xml --raw changed the bytes of ${INPUT}")
endif()
