# The chip catalogue, the current chip with its images, selection and Autosearch.
add_library(velmora_chips STATIC
    ${CMAKE_CURRENT_LIST_DIR}/catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/chip.cpp
    ${CMAKE_CURRENT_LIST_DIR}/selection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/autosearch.cpp
)
velmora_expose(velmora_chips chips)
target_link_libraries(velmora_chips PUBLIC velmora_prog velmora_log)
