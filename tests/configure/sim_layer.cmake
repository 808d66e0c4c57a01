# cmake -DSOURCE=tree -P sim_layer.cmake
# The simulator checks the programming code, so it must not borrow from it: nothing under
# src/sim includes from prog/ or families/.
file(GLOB files ${SOURCE}/src/sim/*.h ${SOURCE}/src/sim/*.cpp)
set(bad "")
foreach(f IN LISTS files)
  file(STRINGS ${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](prog|families)/")
  foreach(h IN LISTS hits)
    string(APPEND bad "\n  ${f}: ${h}")
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "the simulator includes what it checks:${bad}")
endif()
