velmora_add_bench(bench_sim SOURCES sim_exchange.cpp LIBS velmora_sim velmora_prog velmora_link Qt6::Core)
