#!/usr/bin/env bash
# Proves that other projects can build against the libraries: installs a built
# tree into a temporary prefix, then builds and runs three small consumers
# there (find_package, pkg-config, add_subdirectory of this clone) and loads
# the installed lemmatiser from Python with ctypes.
# Usage: scripts/consumers.sh <build folder>
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "$1" && pwd)
jobs=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
for lib in QN7QuillonLemmatiser QN7GeneralRuntimePack1 QN7GeneralRuntimePack2; do
  so="$prefix/lib/lib$lib.so"
  soname=$(objdump -p "$so" | awk '/SONAME/ {print $2}')
  if [ "$soname" != "lib$lib.so.7" ] || [ ! -e "$prefix/lib/$soname" ]; then
    echo "consumers: $so has SONAME '$soname', expected lib$lib.so.7"; exit 1
  fi
done

echo "--- find_package(Quillon)"
cmake -S scripts/consumers/find_package -B "$work/find_package" -G Ninja \
      -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_RPATH="$prefix/lib" >/dev/null
cmake --build "$work/find_package" >/dev/null
"$work/find_package/consumer"

echo "--- pkg-config quillon"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046
g++ -std=c++20 scripts/consumers/consumer.cpp -o "$work/pkgconfig_consumer" \
    $(pkg-config --cflags --libs quillon) -Wl,-rpath,"$prefix/lib"
"$work/pkgconfig_consumer"

echo "--- add_subdirectory(<clone>)"
cmake -S scripts/consumers/subdirectory -B "$work/subdirectory" -G Ninja \
      -DCMAKE_BUILD_TYPE=Release -DQUILLON_SOURCE="$root" >/dev/null
cmake --build "$work/subdirectory" -j "$jobs" --target consumer >/dev/null
"$work/subdirectory/consumer"

echo "--- Python ctypes"
python3 scripts/consumers/lemmatiser_ctypes.py "$prefix/lib/libQN7QuillonLemmatiser.so" \
        "$root/lemmatiser/testdata/english_lemmas_8bit.txt"
