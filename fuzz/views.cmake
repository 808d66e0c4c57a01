# Key sequences on a hex dump and arbitrary view texts: the dump's layout must survive every key.
velmora_add_fuzzer(fuzz_views
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/views_fuzz.cpp ${PROJECT_SOURCE_DIR}/src/views/dumpedit.cpp
            ${PROJECT_SOURCE_DIR}/src/views/dumptext.cpp)
