#!/usr/bin/env bash
# The test command: installs what is missing, then builds and runs the whole
# suite twice (optimised, and under AddressSanitizer + UndefinedBehaviorSanitizer),
# and runs every fuzz target for a short budget under clang with both sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh

jobs=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-20}

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

echo "=== optimised build"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=ON -DQUILLON_BENCH=ON >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "=== installed and embedded: consumers built against the libraries"
bash scripts/consumers.sh build/release

echo "=== fuzz targets (clang, libFuzzer, ASan + UBSan, ${FUZZ_SECONDS}s each)"
if ls fuzz/*.cpp >/dev/null 2>&1; then
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DQUILLON_FUZZ=ON -DQUILLON_SANITIZE=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
  targets=()
  for src in fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)_fuzz"); done
  cmake --build build/fuzz -j "$jobs" --target "${targets[@]}"
  for src in fuzz/*.cpp; do
    name=$(basename "$src" .cpp)
    work=$(mktemp -d)
    log=$(mktemp)
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
    [ -d "fuzz/regressions/$name" ] && seeds+=("fuzz/regressions/$name")
    echo "--- $name"
    if ( cd "$work" && "$root/build/fuzz/${name}_fuzz" -max_total_time="$FUZZ_SECONDS" -timeout=2 \
           -rss_limit_mb=2048 -print_final_stats=0 "$work" "${seeds[@]/#/$root/}" > "$log" 2>&1 ); then
      tail -n 1 "$log"
      rm -rf "$work" "$log"
    else
      tail -n 60 "$log"
      echo "fuzz target $name failed; the crash input is in $work"
      exit 1
    fi
  done
fi

echo "=== sanitizer build (ASan + UBSan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_SANITIZE=ON -DQUILLON_TESTS=ON -DQUILLON_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"
