# Tests of the serial units.
velmora_add_test(velmora_families_serial_tests
  SOURCES test_serialunits.cpp test_serialconformance.cpp
  LIBS velmora_families velmora_sim velmora_testsupport)
