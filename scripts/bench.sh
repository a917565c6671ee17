#!/usr/bin/env bash
# Builds the benchmark programs (Release) and runs every one of them; each prints "name: value unit" lines.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIRVEX_BUILD_GUI=ON -DNIRVEX_BUILD_TESTS=OFF -DNIRVEX_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
for b in $(find "$build/bench" -maxdepth 2 -type f -executable -name 'bench_*' | sort); do
    "$b"
done
