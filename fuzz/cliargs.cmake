# The command line's words: options, commands and their arguments parsed into steps. The parser
# and the tables are built instrumented; what runs the steps comes from the libraries below.
velmora_add_fuzzer(fuzz_cliargs
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/cliargs_fuzz.cpp
            ${PROJECT_SOURCE_DIR}/src/cli/cli.cpp ${PROJECT_SOURCE_DIR}/src/cli/commands.cpp
            ${PROJECT_SOURCE_DIR}/src/cli/options.cpp ${PROJECT_SOURCE_DIR}/src/cli/portrunner.cpp
            ${PROJECT_SOURCE_DIR}/src/cli/production.cpp ${PROJECT_SOURCE_DIR}/src/cli/terminal.cpp
    LIBS velmora_batch velmora_session velmora_fuses velmora_ops velmora_imagefiles velmora_chips velmora_sim
         velmora_prog velmora_link velmora_log
    SEEDS ${CMAKE_CURRENT_LIST_DIR}/seeds/fuzz_cliargs)
target_compile_definitions(fuzz_cliargs PRIVATE VELMORA_VERSION="${PROJECT_VERSION}")
