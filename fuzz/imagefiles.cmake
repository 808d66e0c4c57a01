# The Intel HEX reader: nothing is written past the memory, and writing then reading gives the bytes back.
velmora_add_fuzzer(fuzz_imagefiles
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/imagefiles_fuzz.cpp ${PROJECT_SOURCE_DIR}/src/chips/hexfile.cpp
            ${PROJECT_SOURCE_DIR}/src/chips/imageplacer.cpp
    SEEDS ${CMAKE_CURRENT_LIST_DIR}/seeds/fuzz_imagefiles)
