add_executable(minimal_window minimal_window.cpp)
target_include_directories(minimal_window PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(minimal_window PRIVATE Qt6::Widgets)

velmora_add_bench(bench_startup SOURCES app_startup.cpp LIBS Qt6::Core)
target_compile_definitions(bench_startup PRIVATE VELMORA_BINARY="$<TARGET_FILE:velmora>"
                           MINIMAL_BINARY="$<TARGET_FILE:minimal_window>")
add_dependencies(bench_startup velmora minimal_window)
