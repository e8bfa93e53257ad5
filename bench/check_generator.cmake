# Generates the same small demo twice and fails unless the files are identical.
foreach(run a b)
  file(REMOVE_RECURSE ${OUT}/${run})
  execute_process(COMMAND ${GEN} ${OUT}/${run} --frames 60 --width 320 --height 240
                  RESULT_VARIABLE status OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "demo_gen failed: ${status}")
  endif()
endforeach()
foreach(file demoFlow.txt demoStack.rxs)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/a/${file} ${OUT}/b/${file}
                  RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "two runs of demo_gen wrote different ${file}")
  endif()
endforeach()
file(REMOVE_RECURSE ${OUT})
