# Key sequences on a hex dump and arbitrary view texts under libFuzzer; the dump's layout must
# survive every key. Built from the sources (no Qt) so the fuzzer sees their branches.
set(views_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
add_executable(fuzz_views
    ${CMAKE_CURRENT_LIST_DIR}/views_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/src/views/dumpedit.cpp
    ${PROJECT_SOURCE_DIR}/src/views/dumptext.cpp)
target_include_directories(fuzz_views PRIVATE ${PROJECT_SOURCE_DIR}/src)
set_target_properties(fuzz_views PROPERTIES AUTOMOC OFF)
target_compile_options(fuzz_views PRIVATE ${views_fuzz_flags})
target_link_options(fuzz_views PRIVATE ${views_fuzz_flags})

set(views_corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus-fuzz_views)
file(MAKE_DIRECTORY ${views_corpus})
add_test(NAME fuzz_views COMMAND fuzz_views -max_total_time=60 -print_final_stats=1 ${views_corpus})
set_tests_properties(fuzz_views PROPERTIES LABELS fuzz TIMEOUT 180)
