velmora_add_bench(bench_ops SOURCES ops_memory.cpp LIBS velmora_ops velmora_sim velmora_link Qt6::Core)
velmora_add_bench(bench_readahead SOURCES ops_readahead.cpp LIBS velmora_ops velmora_sim velmora_link Qt6::Core)
