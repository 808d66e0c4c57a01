# cmake -DSOURCE=tree -DWORK=scratch -DGENERATOR=gen -P missing_part.cmake
# For each case: copies the tree, removes one part's file, configures, and expects the configure
# step to fail with CMake's message naming what is missing.
set(cases
    "src/log/CMakeLists.txt|does not contain a CMakeLists.txt file"
    "src/chips/imagefiles.cmake|include could not find requested file:[ \n]*imagefiles.cmake"
    "tests/views/CMakeLists.txt|does not contain a CMakeLists.txt file")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 removed)
  list(GET parts 1 expected)
  set(tree ${WORK}/tree)
  file(REMOVE_RECURSE ${WORK})
  file(MAKE_DIRECTORY ${tree})
  foreach(item CMakeLists.txt README.md src tests bench fuzz packaging)
    file(COPY ${SOURCE}/${item} DESTINATION ${tree})
  endforeach()
  file(REMOVE ${tree}/${removed})
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${tree} -B ${WORK}/build -G ${GENERATOR} -DVELMORA_BENCH=OFF
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(result EQUAL 0)
    message(FATAL_ERROR "configure succeeded without ${removed}")
  endif()
  if(NOT err MATCHES "${expected}")
    message(FATAL_ERROR "configure without ${removed} failed without saying so:\n${err}")
  endif()
  message(STATUS "without ${removed}: configure fails as it should")
endforeach()
file(REMOVE_RECURSE ${WORK})
