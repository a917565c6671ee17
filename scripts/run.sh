#!/usr/bin/env bash
# Set-up, Release build, and start the program on the bundled example (or on the arguments given).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="$root/build-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIRVEX_BUILD_TESTS=OFF -DNIRVEX_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)"
if [ $# -gt 0 ]; then
    exec "$build/src/app/nirvex" "$@"
fi
exec "$build/src/app/nirvex" --sample "$root/examples/iris.csv"
