velmora_add_bench(bench_sim SOURCES sim_exchange.cpp LIBS velmora_sim velmora_link Qt6::Core)
