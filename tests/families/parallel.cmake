# Tests of the parallel units.
