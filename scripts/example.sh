#!/usr/bin/env bash
# The main job: builds the libraries and runs the example program on the
# sample data that ships with the sources.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
# The whole build, so that `cmake --install build/release` works afterwards.
cmake --build build/release -j "$(nproc)"
./build/release/quillon_example "$@"
