# The Intel HEX reader under libFuzzer, built from its source so the fuzzer sees its branches.
# scripts/fuzz.sh runs it for a bounded time; `ctest -L fuzz` in the fuzz build does the same.
set(imagefiles_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
add_executable(fuzz_imagefiles
    ${CMAKE_CURRENT_LIST_DIR}/imagefiles_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/src/chips/hexfile.cpp)
target_include_directories(fuzz_imagefiles PRIVATE ${PROJECT_SOURCE_DIR}/src)
set_target_properties(fuzz_imagefiles PROPERTIES AUTOMOC OFF)
target_compile_options(fuzz_imagefiles PRIVATE ${imagefiles_fuzz_flags})
target_link_options(fuzz_imagefiles PRIVATE ${imagefiles_fuzz_flags})

set(imagefiles_corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus-fuzz_imagefiles)
file(MAKE_DIRECTORY ${imagefiles_corpus})
add_test(NAME fuzz_imagefiles
         COMMAND fuzz_imagefiles -max_total_time=60 -print_final_stats=1
                 ${imagefiles_corpus} ${CMAKE_CURRENT_LIST_DIR}/seeds/fuzz_imagefiles)
set_tests_properties(fuzz_imagefiles PROPERTIES LABELS fuzz TIMEOUT 180)
