# Tests of the parallel units.
velmora_add_test(velmora_families_parallel_tests
  SOURCES parallel_sequences_test.cpp parallel_conformance_test.cpp parallel_mends_test.cpp
  LIBS velmora_families velmora_sim velmora_testsupport)
