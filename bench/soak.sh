#!/bin/sh
# Builds the soak program if needed and runs it: bench/soak.sh [SECONDS] (600 by default).
# The build directory is build/ beside this folder's parent, or $KVN_BUILD_DIR.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KVN_BUILD_DIR:-$here/build}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$here" -B "$build" -G Ninja >/dev/null
fi
ninja -C "$build" soak >/dev/null
exec "$build/bench/soak/soak" "${1:-600}"
