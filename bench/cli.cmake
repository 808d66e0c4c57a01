# velmora-cli and velmora-sim as processes: several gateways from one call against one.
velmora_add_bench(bench_cli SOURCES cli_ports.cpp LIBS Qt6::Core)
add_dependencies(bench_cli velmora-cli velmora-sim)
target_compile_definitions(bench_cli PRIVATE
  VELMORA_CLI_PATH="$<TARGET_FILE:velmora-cli>" VELMORA_SIM_PATH="$<TARGET_FILE:velmora-sim>")
