velmora_add_bench(bench_families SOURCES families_parallel.cpp LIBS velmora_families velmora_sim velmora_link Qt6::Core)
velmora_add_bench(bench_families_serial SOURCES families_serial.cpp LIBS velmora_families velmora_sim velmora_link Qt6::Core)
