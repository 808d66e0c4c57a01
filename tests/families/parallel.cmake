# Tests of the parallel units.
velmora_add_test(test_families_parallel
  SOURCES test_parallel_sequences.cpp test_parallel_conformance.cpp test_parallel_mends.cpp
  LIBS velmora_families velmora_sim velmora_testsupport)
