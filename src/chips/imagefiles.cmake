# Intel HEX, Motorola S-record, ELF (read through elfutils' libelf) and binary image files and the File menu commands that load and save the images.
# The HEX codec itself needs nothing but the standard library (the fuzz target builds it alone).
add_library(velmora_imagefiles STATIC
    ${CMAKE_CURRENT_LIST_DIR}/hexfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/imageplacer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/srecfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/elffile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/imageformat.cpp
    ${CMAKE_CURRENT_LIST_DIR}/filecommands.cpp
)
velmora_expose(velmora_imagefiles chips)
target_link_libraries(velmora_imagefiles PUBLIC velmora_chips velmora_log Qt6::Core PRIVATE PkgConfig::libelf)
