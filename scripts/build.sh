#!/usr/bin/env bash
# Configures (once) and builds Zelvor into build/. Extra arguments go to `cmake --build`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
launcher=()
# A compiler cache, when the machine has one, makes rebuilds of other checkouts cheap.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    || { echo "zelvor: configuring the build failed" >&2; exit 1; }
fi
cmake --build "$build" "$@" || { echo "zelvor: the build failed" >&2; exit 1; }
