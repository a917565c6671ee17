#!/usr/bin/env bash
# Set-up, configure, build, and run every test (the window tests headless), then a short fuzz run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

build="$root/build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIRVEX_BUILD_TESTS=ON
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# The file readers against random and mutated input, briefly.
"$root/scripts/fuzz.sh" 20

# The code keeps the committed format.
cd "$root" && git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "format check passed"
