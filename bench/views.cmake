# Hex dump views: rendering, parsing, one key edit, painting and the memory the views hold.
velmora_add_bench(bench_views SOURCES ${CMAKE_CURRENT_LIST_DIR}/views_bench.cpp LIBS velmora_app Qt6::Widgets)
