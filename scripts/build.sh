#!/usr/bin/env bash
# Configures and builds into a folder: scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
shift || true
cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
ninja -C "$dir"
