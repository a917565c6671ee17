#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need. Idempotent.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev libgl-dev
    pxlib-dev libcsv-dev
    libgtest-dev
    clang clang-format libclang-rt-14-dev
    libfann-dev
    libonnx-dev libprotobuf-dev protobuf-compiler python3-onnx
    xvfb xauth fonts-dejavu-core fonts-dejavu-extra
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]} (run this script as root to install them)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}"
fi

# The export tests run models with ONNX Runtime from npm (the build installs it); Node.js comes with
# the machine where it is there already, as Debian's npm would conflict with it.
if ! command -v npm >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing: nodejs and npm (run this script as root to install them)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq nodejs npm
fi
