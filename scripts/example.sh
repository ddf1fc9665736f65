#!/usr/bin/env bash
# The main job: builds the libraries and the `quillon` program, then takes a
# short tour of the sample corpus that ships with the sources (data/sample:
# books of the King James Bible in several encodings, and a zip archive).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
# The whole build, so that `cmake --install build/release` works afterwards.
cmake --build build/release -j "$(nproc)"

quillon=./build/release/quillon
# Shows a command as a user would type it, then runs it.
tour() {
  local about=$1; shift
  printf '\n### %s\n$ quillon %s\n' "$about" "$*"
  "$quillon" "$@"
}

tour "What the readers make of each text: encoding, and why" \
  detect data/sample
tour "The 20 most frequent words of the whole sample" \
  wordlist --top 20 data/sample
tour "A concordance of «firmament», sorted on the first and second words to its right" \
  concord --context 6 --sort R1,R2 firmament data/sample
tour "Key words of the New Testament books against the Old Testament books" \
  keywords --top 15 --study data/sample/nt --reference data/sample/ot
tour "The 20 most frequent words again, with forms counted under their headwords (was -> be, said -> say)" \
  wordlist --top 20 --lemmas lemmatiser/testdata/english_lemmas_8bit.txt data/sample
