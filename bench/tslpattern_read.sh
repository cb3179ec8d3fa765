#!/usr/bin/env bash
# Times TslPattern searching one large text file for a literal against `grep -c -F` of the same
# literal, in one run, and prints a table of median wall, user and system times and the peak
# memory of each command.
#
# The file: SIZE_MIB MiB (default 1024) of lines of words in LF, with the literal in about one
# line of 2,000. TslPattern writes its match lines to a file; grep counts the matching lines.
# Every command runs once to warm the cache; then the commands take turns RUNS times (default 3)
# and the median counts. Peak memory is the largest resident set (`/usr/bin/time -f %M`) seen:
# for a mapped file it includes the file's pages that the process has touched, which are the
# system's cached pages, not memory of the process's own.
#
# An OTHER TslPattern (an earlier build, say) is timed in the same run as a third command, and
# its match lines must be the same as the first one's.
#
# Usage: bench/tslpattern_read.sh PATH-TO-TslPattern [SIZE_MIB] [RUNS] [OTHER-TslPattern]
set -euo pipefail
tslpattern=$(realpath "$1")
size_mib=${2:-1024}
runs=${3:-3}
other=${4:+$(realpath "$4")}

"$(dirname "$0")/../tools/install-deps.sh" bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

PYTHONPATH="$(dirname "$0")" python3 - "$work/big.txt" "$size_mib" <<'PY'
import random, sys
path, size_mib = sys.argv[1], int(sys.argv[2])
rng = random.Random(7)
from bench_words import WORDS as words
lines = []
for i in range(20000):
    line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 14)))
    if rng.randrange(2000) == 0:
        line += " haystack-needle"
    lines.append(line + "\n")
block = "".join(lines).encode()
with open(path, "wb") as f:
    written = 0
    while written < size_mib << 20:
        f.write(block)
        written += len(block)
PY

literal=haystack-needle
names=(tslpattern grep)
declare -A labels=([tslpattern]=TslPattern [grep]="grep -c" [other]=other)
declare -A cmd
cmd[tslpattern]="'$tslpattern' '$literal' '$work/big.txt' >'$work/out-tslpattern.txt'"
cmd[grep]="grep -c -F '$literal' '$work/big.txt' >'$work/out-grep.txt'"
if [ -n "$other" ]; then
  names+=(other)
  cmd[other]="'$other' '$literal' '$work/big.txt' >'$work/out-other.txt'"
fi

# time_one NAME: one run; appends "wall user system peak-KiB" to $work/times-NAME.
time_one() {
  local status=0
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.tmp" bash -c "${cmd[$1]}" || status=$?
  if [ "$status" -gt 1 ]; then  # 1: nothing matched
    echo "$1 failed with status $status" >&2
    exit 1
  fi
  tail -1 "$work/time.tmp" >>"$work/times-$1"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

for name in "${names[@]}"; do time_one "$name"; done  # warm the cache
for name in "${names[@]}"; do : >"$work/times-$name"; done
for _ in $(seq "$runs"); do
  for name in "${names[@]}"; do time_one "$name"; done
done

if [ -n "$other" ] && ! cmp -s "$work/out-tslpattern.txt" "$work/out-other.txt"; then
  echo "the two TslPattern builds' match lines differ" >&2
  exit 1
fi

echo "$size_mib MiB, literal '$literal', medians of $runs runs"
printf '%-12s %8s %8s %8s %10s %8s\n' command wall-s user-s sys-s peak-MiB matches
for name in "${names[@]}"; do
  col() { cut -d' ' -f"$1" "$work/times-$name" | median; }
  peak=$(cut -d' ' -f4 "$work/times-$name" | sort -n | tail -1)
  if [ "$name" = grep ]; then matches=$(cat "$work/out-grep.txt"); else matches=$(wc -l <"$work/out-$name.txt"); fi
  printf '%-12s %8.2f %8.2f %8.2f %10.1f %8s\n' "${labels[$name]}" "$(col 1)" "$(col 2)" "$(col 3)" \
    "$(echo "$peak / 1024" | bc -l)" "$matches"
done
