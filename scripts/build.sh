#!/usr/bin/env bash
# Configures (once) and builds everything in build/ with Ninja. Extra args go to CMake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="${BUILD_DIR:-$root/build}"
if [ ! -f "$build/build.ninja" ] || [ $# -gt 0 ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
fi
cmake --build "$build" -j "$(nproc)"
