velmora_add_bench(bench_families SOURCES families_parallel.cpp LIBS velmora_families velmora_sim velmora_link Qt6::Core)
