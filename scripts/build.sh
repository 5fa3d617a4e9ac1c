#!/bin/sh
# Installs the build dependencies and builds everything into build/ (or $QOR_BUILD_DIR).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD=${QOR_BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QOR_CMAKE_ARGS:-} >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
