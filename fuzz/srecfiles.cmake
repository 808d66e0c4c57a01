# The S-record and ELF readers: nothing is written past the memory, and S-records written then
# read give the bytes back.
velmora_add_fuzzer(fuzz_srecfiles
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/srecfiles_fuzz.cpp ${PROJECT_SOURCE_DIR}/src/chips/srecfile.cpp
            ${PROJECT_SOURCE_DIR}/src/chips/hexfile.cpp ${PROJECT_SOURCE_DIR}/src/chips/imageplacer.cpp
            ${PROJECT_SOURCE_DIR}/src/chips/elffile.cpp
    LIBS PkgConfig::libelf
    SEEDS ${CMAKE_CURRENT_LIST_DIR}/seeds/fuzz_srecfiles)
