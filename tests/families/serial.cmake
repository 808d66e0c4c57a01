# Tests of the serial units.
velmora_add_test(test_families_serial
  SOURCES test_serialunits.cpp test_serialconformance.cpp test_serialpty.cpp
  LIBS velmora_families velmora_sim velmora_testsupport)
