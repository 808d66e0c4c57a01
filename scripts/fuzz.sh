#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
dir="$root/build-fuzz"
"$root/scripts/build.sh" "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON -DVELMORA_BENCH=OFF -DVELMORA_WERROR=ON
for target in "$dir"/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue  # skip the build's own folders
  name="$(basename "$target")"
  corpus="$dir/corpus-$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/$name"
  echo "-- $name for ${seconds}s"
  if [ -d "$seeds" ]; then
    "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "$seeds"
  else
    "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
  fi
done
