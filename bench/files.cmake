# Loading and saving the image files (bench_files).
velmora_add_bench(bench_files SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_bench.cpp LIBS velmora_imagefiles velmora_views Qt6::Core)
