#!/usr/bin/env bash
# Times the `quillon` program, whole process, against the usual tools on the
# same corpus: a King James Bible (from Debian's bible-kjv package, verse
# references stripped) repeated to about 100 MB, and the same in UTF-16.
# Each command runs RUNS times; the table gives the median wall time, the
# throughput, the median peak memory and the hit or word counts each tool found.
#
#   bash bench/quillon_speed.sh                  # RUNS=5, work folder /tmp/quillon_speed
#   RUNS=3 WORK=/var/tmp/qs bash bench/quillon_speed.sh
#   QUILLON=path/to/quillon bash bench/quillon_speed.sh
#   SECTIONS=concord RUNS=3 bash bench/quillon_speed.sh   # only some sections
#                                     (concord, wordlist, keywords; all by default)
#
# It is run by hand (minutes, not seconds), never by the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

RUNS=${RUNS:-5}
PY_RUNS=${PY_RUNS:-3}     # Python is slow; fewer runs of it are enough for a median
WORK=${WORK:-/tmp/quillon_speed}
COPIES=${COPIES:-25}      # copies of the Bible (about 4.1 MB each)
STUDY_WORDS=${STUDY_WORDS:-1000000}
FREQUENT=${FREQUENT:-the}
RARE=${RARE:-leviathan}
SECTIONS=${SECTIONS:-concord,wordlist,keywords}
section() { [[ ",$SECTIONS," == *",$1,"* ]]; }

# --- tools -----------------------------------------------------------------
need=()
command -v bible >/dev/null 2>&1 || need+=(bible-kjv)
command -v rg >/dev/null 2>&1 || need+=(ripgrep)
[ -x /usr/bin/time ] || need+=(time)
command -v g++ >/dev/null 2>&1 || need+=(g++)
[ -x /usr/bin/python3 ] || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

if [ -z "${QUILLON:-}" ]; then
  # The same optimised build as scripts/example.sh.
  bash scripts/setup.sh >/dev/null
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
  cmake --build build/release -j "$(nproc)" --target quillon >/dev/null
  QUILLON=$root/build/release/quillon
fi

mkdir -p "$WORK"
g++ -O2 -std=c++20 -o "$WORK/wordcount_baseline" bench/wordcount_baseline.cc

# --- corpus ----------------------------------------------------------------
if [ ! -f "$WORK/.made_$COPIES" ]; then
  echo "making the corpus in $WORK ..."
  rm -rf "$WORK/utf8" "$WORK/utf16" "$WORK/study" "$WORK"/.made_*
  mkdir -p "$WORK/utf8" "$WORK/utf16" "$WORK/study"
  bible -f "Gen1:1-Rev22:21" | sed 's/^[^ ]* //' > "$WORK/kjv.txt"
  bible -f "Mat1:1-Rev22:21" | sed 's/^[^ ]* //' > "$WORK/nt.txt"
  for i in $(seq -w 1 "$COPIES"); do
    cp "$WORK/kjv.txt" "$WORK/utf8/kjv_$i.txt"
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$WORK/kjv.txt"; } > "$WORK/utf16/kjv_$i.txt"
  done
  # The study corpus: the New Testament repeated to STUDY_WORDS words.
  nt_words=$(wc -w < "$WORK/nt.txt")
  study_copies=$(( (STUDY_WORDS + nt_words - 1) / nt_words ))
  for i in $(seq -w 1 "$study_copies"); do cp "$WORK/nt.txt" "$WORK/study/nt_$i.txt"; done
  touch "$WORK/.made_$COPIES"
fi
utf8_mb=$(du -sm --apparent-size "$WORK/utf8" | cut -f1)
utf16_mb=$(du -sm --apparent-size "$WORK/utf16" | cut -f1)
echo "corpus: $COPIES copies of the Bible, $utf8_mb MB as UTF-8 ($(cat "$WORK"/utf8/*.txt | wc -w) words by wc -w), $utf16_mb MB as UTF-16"
echo "study corpus: $(ls "$WORK/study" | wc -l) copies of the New Testament, $(cat "$WORK"/study/*.txt | wc -w) words by wc -w"
echo "quillon: $QUILLON"
echo "runs: $RUNS (Python: $PY_RUNS)"
echo

# --- timing ----------------------------------------------------------------
# Commands are timed in groups (bench/timing.sh): every command of a group runs
# once unmeasured (warm-up), then the group's commands take turns, so that a
# change of load on the machine falls on all of them alike. Each run's wall
# time, peak memory (maximum resident set) and CPU time (user and system) come
# from /usr/bin/time; the table shows medians. On a busy machine the wall
# times wait for a processor, and the CPU times show the work alone.
#
#   group_add LABEL MB OUTFILE RUNS COMMAND...   standard output to OUTFILE
#   group_run                                    runs and reports the group
source "$root/bench/timing.sh"
TURNS_KEEP_GOING=1
results="$WORK/results.tsv"
: > "$results"
G_LABEL=(); G_MB=()
group_add() {
  G_LABEL+=("$1"); G_MB+=("$2"); shift 2
  turns_add "$@"
}
group_run() {
  local i
  turns_run "$WORK" warm
  for i in "${!G_LABEL[@]}"; do
    /usr/bin/python3 - "${G_LABEL[$i]}" "${G_MB[$i]}" "$WORK/.times_$i" "$results" <<'PY'
import statistics, sys
label, mb, path, results = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4]
rows = [l.split() for l in open(path) if l.strip() and l.split()[0][0].isdigit()]
secs = statistics.median(float(r[0]) for r in rows)
rss = statistics.median(int(r[3]) for r in rows) / 1024
cpu = statistics.median(float(r[1]) + float(r[2]) for r in rows)
rate = mb / secs if secs > 0 else float("inf")
print("%-58s %8.2f s %9.1f MB/s %8.0f MB %8.2f s   (%d runs)" % (label, secs, rate, rss, cpu, len(rows)))
open(results, "a").write("%s\t%.3f\t%.1f\t%.0f\t%.3f\n" % (label, secs, rate, rss, cpu))
PY
  done
  G_LABEL=(); G_MB=()
  turns_clear
}

q=$QUILLON
u8=("$WORK"/utf8/*.txt)
u16=("$WORK"/utf16/*.txt)
st=("$WORK"/study/*.txt)
header() { printf '%-58s %10s %14s %11s %10s\n' "command" "median" "throughput" "peak mem" "CPU time"; }

if section concord; then
echo "== concordance: counts and full KWIC output of «$FREQUENT» (frequent) and «$RARE» (rare)"
header
for word in "$FREQUENT" "$RARE"; do
  for enc in utf8 utf16; do
    if [ $enc = utf8 ]; then files=("${u8[@]}"); mb=$utf8_mb; else files=("${u16[@]}"); mb=$utf16_mb; fi
    group_add "quillon concord --count $word ($enc)" "$mb" "$WORK/q_count_${word}_$enc.out" "$RUNS" \
      "$q" concord --count --quiet "$word" "${files[@]}"
    group_add "rg -ciw --count-matches $word ($enc)" "$mb" "$WORK/rg_count_${word}_$enc.out" "$RUNS" \
      rg -ciw --count-matches --no-filename "$word" "${files[@]}"
    group_add "quillon concord $word ($enc, KWIC lines)" "$mb" "$WORK/q_kwic_${word}_$enc.out" "$RUNS" \
      "$q" concord --quiet "$word" "${files[@]}"
    group_add "rg -oiw $word ($enc, matches only)" "$mb" "$WORK/rg_o_${word}_$enc.out" "$RUNS" \
      rg -oiw "$word" "${files[@]}"
    group_add "rg -iw $word ($enc, whole lines)" "$mb" "$WORK/rg_l_${word}_$enc.out" "$RUNS" \
      rg -iw "$word" "${files[@]}"
    group_run
  done
done
echo
echo "hits found:"
for word in "$FREQUENT" "$RARE"; do
  for enc in utf8 utf16; do
    rg_hits=$(wc -l < "$WORK/rg_o_${word}_$enc.out")
    rg_counted=$(awk '{s+=$1} END {print s+0}' "$WORK/rg_count_${word}_$enc.out")
    # Both quillon outputs have a header line.
    q_kwic=$(( $(wc -l < "$WORK/q_kwic_${word}_$enc.out") - 1 ))
    q_count=$(awk -F'\t' 'NR == 2 {print $2}' "$WORK/q_count_${word}_$enc.out")
    printf '  %-10s %-6s rg -oiw %9s   rg --count-matches %9s   quillon --count %9s   quillon KWIC rows %9s\n' \
      "$word" "$enc" "$rg_hits" "$rg_counted" "$q_count" "$q_kwic"
  done
done
echo

fi

if section wordlist; then
echo "== word lists"
header
group_add "quillon wordlist (utf8)" "$utf8_mb" "$WORK/q_wordlist_utf8.out" "$RUNS" "$q" wordlist --quiet "${u8[@]}"
group_add "quillon wordlist (utf16)" "$utf16_mb" "$WORK/q_wordlist_utf16.out" "$RUNS" "$q" wordlist --quiet "${u16[@]}"
group_add "C++ std::unordered_map baseline (utf8)" "$utf8_mb" "$WORK/cc_wordlist.out" "$RUNS" \
  "$WORK/wordcount_baseline" "${u8[@]}"
group_add "Python Counter(re.findall(r'\\w+')) (utf8)" "$utf8_mb" "$WORK/py_wordlist.out" "$PY_RUNS" \
  /usr/bin/python3 -c '
import collections, re, sys
counts = collections.Counter()
for name in sys.argv[1:]:
    with open(name, encoding="utf-8") as f:
        counts.update(re.findall(r"\w+", f.read().lower()))
print("tokens\t%d\ntypes\t%d" % (sum(counts.values()), len(counts)))
for w, n in counts.most_common(10):
    print("%s\t%d" % (w, n))
' "${u8[@]}"
group_run
echo
echo "word counts:"
echo "  C++ baseline: $(head -4 "$WORK/cc_wordlist.out" | tr '\n\t' '  ')"
echo "  Python:       $(head -4 "$WORK/py_wordlist.out" | tr '\n\t' '  ')"
for enc in utf8 utf16; do
  echo "  quillon $enc: types $(( $(wc -l < "$WORK/q_wordlist_$enc.out") - 1 )), sum of frequencies $(awk -F'\t' 'NR > 1 {s += $2} END {print s}' "$WORK/q_wordlist_$enc.out"), $(sed -n '2,3p' "$WORK/q_wordlist_$enc.out" | cut -f1,2 | tr '\n\t' '  ')"
done
echo

fi

if section keywords; then
echo "== key words of the study corpus against the 100 MB reference"
header
study_mb=$(du -sm --apparent-size "$WORK/study" | cut -f1)
group_add "quillon wordlist (study corpus alone)" "$study_mb" "$WORK/q_wordlist_study.out" "$RUNS" \
  "$q" wordlist --quiet "${st[@]}"
group_add "quillon wordlist (study and reference together)" "$((study_mb + utf8_mb))" "$WORK/q_wordlist_both.out" "$RUNS" \
  "$q" wordlist --quiet "${st[@]}" "${u8[@]}"
group_add "quillon keywords --study STUDY --reference REF (utf8)" "$((study_mb + utf8_mb))" "$WORK/q_keywords.out" "$RUNS" \
  "$q" keywords --quiet --study "${st[@]}" --reference "${u8[@]}"
group_run
echo "  key words listed: $(( $(wc -l < "$WORK/q_keywords.out") - 1 ))"
echo

fi

/usr/bin/python3 - "$results" "$FREQUENT" "$RARE" <<'PY'
import sys
results, frequent, rare = sys.argv[1], sys.argv[2], sys.argv[3]
t = {l.split("\t")[0]: float(l.split("\t")[1]) for l in open(results)}
c = {l.split("\t")[0]: float(l.split("\t")[4]) for l in open(results)}
def ratio(a, b, times=t):
    return "%.2fx" % (times[b] / times[a]) if a in times and b in times and times[a] > 0 else "n/a"
print("== ratios (time of the other tool / time of quillon; above 1 means quillon is faster)")
for w in (frequent, rare):
    for enc in ("utf8", "utf16"):
        print("  concord --count %-10s %-5s vs rg --count-matches: %s" % (
            w, enc, ratio("quillon concord --count %s (%s)" % (w, enc), "rg -ciw --count-matches %s (%s)" % (w, enc))))
        print("  concord KWIC    %-10s %-5s vs rg -oiw:            %s   vs rg -iw (lines): %s" % (
            w, enc, ratio("quillon concord %s (%s, KWIC lines)" % (w, enc), "rg -oiw %s (%s, matches only)" % (w, enc)),
            ratio("quillon concord %s (%s, KWIC lines)" % (w, enc), "rg -iw %s (%s, whole lines)" % (w, enc))))
q, cc, py = "quillon wordlist (utf8)", "C++ std::unordered_map baseline (utf8)", "Python Counter(re.findall(r'\\w+')) (utf8)"
print("  wordlist utf8 vs C++ unordered_map: %s (goal: 2x; CPU time %s)" % (ratio(q, cc), ratio(q, cc, c)))
print("  wordlist utf8 vs Python Counter:    %s (goal: 8x; CPU time %s)" % (ratio(q, py), ratio(q, py, c)))
k, w = "quillon keywords --study STUDY --reference REF (utf8)", "quillon wordlist (study and reference together)"
if k in t and w in t:
    print("  keywords minus the word list of both corpora: %.0f ms (CPU time %.0f ms)" % ((t[k] - t[w]) * 1000, (c[k] - c[w]) * 1000))
PY
echo
echo "results in $results; outputs in $WORK"
