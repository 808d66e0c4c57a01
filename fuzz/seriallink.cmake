# The serial answer path: arbitrary answers, lengths, late arrivals and failed sends through the
# link and the programming primitives (the link's interface speaks QString, hence Qt Core).
velmora_add_fuzzer(fuzz_seriallink
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/seriallink_fuzz.cpp
            ${PROJECT_SOURCE_DIR}/src/link/gatewaylink.cpp ${PROJECT_SOURCE_DIR}/src/link/gatewaycommands.cpp
            ${PROJECT_SOURCE_DIR}/src/link/sleeper.cpp ${PROJECT_SOURCE_DIR}/src/link/stopsignals.cpp
            ${PROJECT_SOURCE_DIR}/src/log/operationlog.cpp
            ${PROJECT_SOURCE_DIR}/src/prog/progcontext.cpp ${PROJECT_SOURCE_DIR}/src/prog/readpipeline.cpp
            ${PROJECT_SOURCE_DIR}/src/prog/parallelprimitives.cpp
            ${PROJECT_SOURCE_DIR}/src/prog/serialprimitives.cpp
    LIBS Qt6::Core
    SEEDS ${CMAKE_CURRENT_LIST_DIR}/seeds/fuzz_seriallink)
