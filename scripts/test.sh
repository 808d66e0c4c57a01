#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite, runs each libFuzzer target for a
# bounded time, then builds and runs the suite again under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-deps.sh"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build and test"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

if [ -n "$(ls "$root"/fuzz/*.cmake 2>/dev/null)" ]; then
  echo "== fuzz (bounded)"
  "$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"
fi

echo "== build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF -DVELMORA_WERROR=ON
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"
