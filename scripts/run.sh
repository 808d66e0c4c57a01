#!/usr/bin/env bash
# Installs what is missing, builds, and starts Velmora. No gateway at hand? Choose
# "Virtual gateway" in the port box and press Connect: a simulated ATmega8 answers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The wiring pictures are looked up in the working folder.
cd "$root"
exec "$root/build/src/app/velmora" "$@"
