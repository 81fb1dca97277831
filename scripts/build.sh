#!/usr/bin/env bash
# Configures (once) and builds Zelvor into build/. Extra arguments go to `cmake --build`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    || { echo "zelvor: configuring the build failed" >&2; exit 1; }
fi
cmake --build "$build" "$@" || { echo "zelvor: the build failed" >&2; exit 1; }
