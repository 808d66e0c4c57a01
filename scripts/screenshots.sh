#!/usr/bin/env bash
# Redraws the user guide's pictures in docs/images from the real windows, headless:
#   scripts/screenshots.sh [BUILD_DIR] [--all-layouts]
# With --all-layouts the Lock & Fuses dialog of every fuse layout is drawn too (layout-NN.png),
# for looking them over; those are not kept in docs/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
shift || true
cmake --build "$build" --target velmora-screenshots
# The connection pictures are drawn beside the program; the window looks in its working folder.
cd "$build/src/app"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" ./velmora-screenshots "$root/docs/images" "$@"
