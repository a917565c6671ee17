#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds (default 60).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNIRVEX_BUILD_FUZZ=ON >/dev/null
targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')
[ -n "$targets" ] || exit 0
cmake --build "$build" -j"$(nproc)" --target $targets
for t in $targets; do
    corpus="$build/corpus-$t"
    mkdir -p "$corpus"
    if [ -d "$root/tests/fuzz/seeds/$t" ]; then cp -n "$root/tests/fuzz/seeds/$t"/* "$corpus"/ 2>/dev/null || true; fi
    echo "fuzzing $t for ${seconds}s"
    (cd "$build" && "./tests/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=0 "$corpus" 2>&1 | tail -n 3)
done
