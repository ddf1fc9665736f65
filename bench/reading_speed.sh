#!/usr/bin/env bash
# Times reading whole text files into UTF-16, whole process, against iconv on
# the same files: bench/read_text_file.cc (TextFileContents: detection,
# decoding, every line ended by CR LF, the UTF-16 written to standard output)
# beside `iconv -f ENCODING -t UTF-16LE`. The files (100 MB each, under WORK)
# hold Western words with accented letters and CR LF line ends, in
# windows-1252, in UTF-8 and in UTF-16 in both byte orders with and without a
# mark, and plain ASCII words. Since every line already ends with CR LF, the
# reader's text must be byte for byte what iconv writes; the script checks it.
#
# Each command runs RUNS times, the reader and iconv taking turns on each file,
# so that a change of load on the machine falls on both alike. The table gives
# medians: wall time, CPU time (user + system; steadier than wall time on a
# busy machine), throughput in MB/s (10^6 bytes of the file a second, by CPU
# time), and peak memory (maximum resident set) beside the file's size plus
# its UTF-16 text's. The reader's figures for an empty file (the process's
# own start, its libraries loaded) are given too.
#
#   bash bench/reading_speed.sh                       # RUNS=5, WORK=/tmp/reading_speed
#   RUNS=9 WORK=/var/tmp/rs bash bench/reading_speed.sh
#   READER_LIB=path/to/build bash bench/reading_speed.sh   # a build folder with the runtime library
#
# It is run by hand (minutes), never by the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

RUNS=${RUNS:-5}
WORK=${WORK:-/tmp/reading_speed}
MB=${MB:-100}

need=()
[ -x /usr/bin/time ] || need+=(time)
command -v iconv >/dev/null 2>&1 || need+=(libc-bin)
command -v python3 >/dev/null 2>&1 || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

if [ -z "${READER_LIB:-}" ]; then
  bash scripts/setup.sh >/dev/null
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
  cmake --build build/release -j "$(nproc)" --target QN7GeneralRuntimePack1 >/dev/null
  READER_LIB=$root/build/release
fi
READER_LIB=$(cd "$READER_LIB" && pwd)

mkdir -p "$WORK"
g++ -O2 -std=c++20 -I"$root" -o "$WORK/read_text_file" bench/read_text_file.cc \
    -L"$READER_LIB" -lQN7GeneralRuntimePack1 -Wl,-rpath,"$READER_LIB"

# --- files -------------------------------------------------------------------
kinds=(windows-1252 ascii utf-8 utf-16le-mark utf-16be-mark utf-16le utf-16be)
declare -A from=([windows-1252]=WINDOWS-1252 [ascii]=WINDOWS-1252 [utf-8]=UTF-8
                 [utf-16le-mark]=UTF-16 [utf-16be-mark]=UTF-16 [utf-16le]=UTF-16LE [utf-16be]=UTF-16BE)
if [ ! -f "$WORK/.made_$MB" ]; then
  echo "making the files in $WORK ..."
  rm -f "$WORK"/*.txt "$WORK"/.made_*
  python3 - "$WORK" "$MB" <<'EOF'
import random, sys
work, mb = sys.argv[1], int(sys.argv[2])
size = mb * 1000 * 1000
random.seed(11)
western = ["the", "of", "and", "corpus", "word", "list", "caf\u00e9", "stra\u00dfe", "na\u00efve",
           "\u00e9t\u00e9", "cr\u00e8me", "text", "tool", "concordance", "is", "a", "in", "\u201cquoted\u201d"]
plain = ["the", "of", "and", "corpus", "word", "list", "text", "tool", "concordance", "is", "a", "in"]

def block(words):
    # About a megabyte of lines of 14 words, repeated to the size wanted:
    # real mixes of letters, made quickly.
    lines, n = [], 0
    while n < (1 << 20):
        line = " ".join(random.choice(words) for _ in range(14)) + "\r\n"
        lines.append(line)
        n += len(line)
    return "".join(lines)

def write(name, text, encoding, mark=b""):
    unit = text.encode(encoding)
    data = unit * (size // len(unit) + 1)
    data = data[:size]
    end = "\r\n".encode(encoding)
    data = data[: data.rfind(end) + len(end)]  # whole lines, whole characters
    with open(f"{work}/{name}.txt", "wb") as f:
        f.write(mark + data)

w = block(western)
write("windows-1252", w, "cp1252")
write("ascii", block(plain), "ascii")
write("utf-8", w, "utf-8")
write("utf-16le-mark", w, "utf-16-le", b"\xff\xfe")
write("utf-16be-mark", w, "utf-16-be", b"\xfe\xff")
write("utf-16le", w, "utf-16-le")
write("utf-16be", w, "utf-16-be")
EOF
  touch "$WORK/.made_$MB"
fi

# --- the texts must be iconv's ----------------------------------------------
for k in "${kinds[@]}"; do
  "$WORK/read_text_file" "$WORK/$k.txt" > "$WORK/reader.out"
  iconv -f "${from[$k]}" -t UTF-16LE "$WORK/$k.txt" > "$WORK/iconv.out"
  if ! cmp -s "$WORK/reader.out" "$WORK/iconv.out"; then
    echo "DIFFERENT: the reader's text of $k.txt is not iconv's" >&2
    exit 1
  fi
  echo "$k: the reader's text is iconv's ($(stat -c %s "$WORK/iconv.out") bytes of UTF-16)"
done
rm -f "$WORK/reader.out" "$WORK/iconv.out"
: > "$WORK/empty.txt"

# --- timing -------------------------------------------------------------------
# The commands take turns (bench/timing.sh); then one line per run: kind,
# tool, wall seconds, CPU seconds, peak KiB.
source "$root/bench/timing.sh"
results="$WORK/results.txt"
: > "$results"
measured=()  # "kind tool" of each command of the group
measure() {  # kind tool command...
  measured+=("$1 $2")
  shift 2
  turns_add /dev/null "$RUNS" "$@"
}
for k in "${kinds[@]}"; do  # warm-up: the files in the page cache
  "$WORK/read_text_file" -q "$WORK/$k.txt" > /dev/null
  iconv -f "${from[$k]}" -t UTF-16LE "$WORK/$k.txt" > /dev/null
done
measure empty reader "$WORK/read_text_file" "$WORK/empty.txt"  # the process's own start and end
for k in "${kinds[@]}"; do
  measure "$k" reader "$WORK/read_text_file" "$WORK/$k.txt"
  measure "$k" iconv iconv -f "${from[$k]}" -t UTF-16LE "$WORK/$k.txt"
done
turns_run "$WORK"
for i in "${!measured[@]}"; do
  while read -r wall user sys peak; do
    echo "${measured[$i]} $wall $(python3 -c "print($user + $sys)") $peak" >> "$results"
  done < "$WORK/.times_$i"
done
rm -f "$WORK"/.times_*

# The text's size in code units, for the memory goal: the file plus its text.
for k in "${kinds[@]}"; do
  echo "$k $("$WORK/read_text_file" -q "$WORK/$k.txt")"
done > "$WORK/units.txt"

python3 - "$results" "$WORK" "$RUNS" "${kinds[@]}" <<'EOF'
import os, statistics, sys
results, work, runs, kinds = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
rows = {}
for line in open(results):
    kind, tool, wall, cpu, peak = line.split()
    rows.setdefault((kind, tool), []).append((float(wall), float(cpu), int(peak)))
units = dict((k, int(u)) for k, u in (line.split() for line in open(f"{work}/units.txt")))
empty = rows[("empty", "reader")]
print(f"\nmedians of {runs} runs; load average now {os.getloadavg()[0]:.1f}; the reader on an empty file "
      f"(included below): wall {statistics.median(r[0] for r in empty):.2f} s, CPU {statistics.median(r[1] for r in empty):.2f} s, "
      f"peak {statistics.median(r[2] for r in empty) / 1024:.0f} MiB\n")
print(f"{'file':<14} {'MB':>6} | {'reader wall s':>13} {'CPU s':>6} {'MB/s':>6} {'peak MiB':>8} | "
      f"{'iconv wall s':>12} {'CPU s':>6} {'MB/s':>6} {'peak MiB':>8} | {'reader/iconv':>12} | {'file+text MiB':>13}")
for kind in kinds:
    size = os.path.getsize(f"{work}/{kind}.txt")
    line = f"{kind:<14} {size / 1e6:6.1f} |"
    speeds = []
    for tool, width in (("reader", 13), ("iconv", 12)):
        measured = rows[(kind, tool)]
        wall = statistics.median(r[0] for r in measured)
        cpu = statistics.median(r[1] for r in measured)
        peak = statistics.median(r[2] for r in measured)
        speed = size / 1e6 / cpu if cpu > 0 else float("inf")
        speeds.append(speed)
        line += f" {wall:{width}.2f} {cpu:6.2f} {speed:6.0f} {peak / 1024:8.0f} |"
    line += f" {speeds[0] / speeds[1]:12.2f} | {(size + 2 * units[kind]) / 1048576:13.0f}"
    print(line)
EOF
