#!/usr/bin/env bash
# The main job: builds the libraries and runs the example program on the
# sample data that ships with the sources.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target quillon_example
./build/release/quillon_example "$@"
