velmora_add_bench(bench_startup SOURCES app_startup.cpp LIBS Qt6::Core)
target_compile_definitions(bench_startup PRIVATE VELMORA_BINARY="$<TARGET_FILE:velmora>")
add_dependencies(bench_startup velmora)
