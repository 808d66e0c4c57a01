# Chip selection: the catalogue lookup, blanking both images and the four views.
velmora_add_bench(bench_chips SOURCES ${CMAKE_CURRENT_LIST_DIR}/chips_bench.cpp LIBS velmora_app Qt6::Widgets)
