# The chip catalogue, the current chip with its images, selection and Autosearch.
add_library(velmora_chips STATIC
    ${CMAKE_CURRENT_LIST_DIR}/catalogue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/chip.cpp
    ${CMAKE_CURRENT_LIST_DIR}/selection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/autosearch.cpp
)
target_include_directories(velmora_chips PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmora_chips PUBLIC velmora_prog velmora_log)
