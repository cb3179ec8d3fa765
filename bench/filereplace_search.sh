#!/usr/bin/env bash
# Times TslRun's file replace job searching for one literal against grep and ripgrep, in one run,
# and prints the median times, the ratios and the peak memory of each command:
#
#   1. a text file of SIZE_MIB MiB (default 1024);
#   2. a tree of FILES files (default 50,000) holding as much of the same text, 200 per folder.
#
# Each search runs plain and ignoring letter case: TslRun writes its hit lines to a results
# file, `grep -n -F` (`-i`) and `rg -n --no-mmap -j1 -F` (`-i`) write theirs to a file. Every
# command runs once to warm the cache; then the commands take turns RUNS times (default 5) and
# the median counts. Peak memory is the largest resident set (`/usr/bin/time -f %M`) seen.
#
# Usage: bench/filereplace_search.sh PATH-TO-TslRun [SIZE_MIB] [FILES] [RUNS]
set -euo pipefail
tslrun=$(realpath "$1")
size_mib=${2:-1024}
files=${3:-50000}
runs=${4:-5}

"$(dirname "$0")/../tools/install-deps.sh" bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The text: lines of words in CR LF, with the literal in about one line of 2,000, in any letter
# case one time in four.
PYTHONPATH="$(dirname "$0")" python3 - "$work" "$size_mib" "$files" <<'PY'
import os, random, sys
root, size_mib, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(7)
from bench_words import WORDS as words
lines = []
for i in range(20000):
    line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 14)))
    if rng.randrange(2000) == 0:
        line += " Haystack-Needle" if rng.randrange(4) == 0 else " haystack-needle"
    lines.append(line + "\r\n")
block = "".join(lines).encode()
with open(os.path.join(root, "big.txt"), "wb") as f:
    written = 0
    while written < size_mib << 20:
        f.write(block)
        written += len(block)
# The tree: FILES slices of the same text, 200 per folder, as much text in all as the file.
per_file = max(1, min(len(block) - 1, (size_mib << 20) // files))
for i in range(files):
    folder = os.path.join(root, "tree", "d%04d" % (i // 200))
    os.makedirs(folder, exist_ok=True)
    start = (i * 7919) % (len(block) - per_file)
    start = block.rfind(b"\n", 0, start) + 1
    with open(os.path.join(folder, "f%06d.txt" % i), "wb") as f:
        f.write(block[start:start + per_file])
PY

literal=haystack-needle
script() {  # script NAME PATH-TEXT FLAGS SUBFOLDERS
  printf '[Benchmark]\r\n[Options]\r\nSearch_subdir=%s\r\nOutput_File=%s\r\nShow Progress Dialog=0\r\nDisplay File Stats=0\r\n[Search%s]\r\n%s\r\n[Replace]\r\n%%%%FMFOUND%%%%\r\n[Path]\r\n%s\r\n[End of Findmend Script]\r\n' \
    "$4" "$work/out-$1.txt" "$3" "$literal" "$2" >"$work/$1.fr"
}
script big "$work/big.txt" "" 0
script big-i "$work/big.txt" " /I" 0
script tree "$work/tree/*.txt" "" 1
script tree-i "$work/tree/*.txt" " /I" 1

# Each command is a name and a shell command line.
declare -A cmd
for target in big tree; do
  if [ $target = big ]; then path="$work/big.txt"; else path="$work/tree"; fi
  for mode in "" -i; do
    cmd["$target$mode tslrun"]="'$tslrun' '|||$work/$target$mode.fr'"
    cmd["$target$mode grep"]="grep -r -n -F $mode '$literal' '$path' >'$work/out-grep.txt' || true"
    cmd["$target$mode rg"]="rg -n --no-mmap -j1 -F $mode '$literal' '$path' >'$work/out-rg.txt' || true"
  done
done

# time_one NAME: seconds of wall time of one run; the peak memory goes to $work/mem-NAME.
time_one() {
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/mem.tmp" bash -c "${cmd[$1]}" >/dev/null 2>&1
  end=$(date +%s.%N)
  local mem
  mem=$(tail -1 "$work/mem.tmp")
  local old=0
  [ -f "$work/mem-${1// /_}" ] && old=$(cat "$work/mem-${1// /_}")
  [ "$mem" -gt "$old" ] && echo "$mem" >"$work/mem-${1// /_}"
  echo "$end - $start" | bc
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

for group in big big-i tree tree-i; do
  names=("$group tslrun" "$group grep" "$group rg")
  for name in "${names[@]}"; do time_one "$name" >/dev/null; done  # warm the cache
  declare -A times=()
  for _ in $(seq "$runs"); do
    for name in "${names[@]}"; do times[$name]+="$(time_one "$name") "; done
  done
  declare -A med=()
  for name in "${names[@]}"; do med[$name]=$(tr ' ' '\n' <<<"${times[$name]}" | grep . | median); done
  hits=$(grep -c '^Line' "$work/out-$group.txt" || true)
  printf '%-7s TslRun %6.3f s (%s KiB)  grep %6.3f s (%s KiB)  rg %6.3f s (%s KiB)  TslRun/grep %.2f  TslRun/rg %.2f  (%s hit lines)\n' \
    "$group" "${med[$group tslrun]}" "$(cat "$work/mem-${group}_tslrun")" \
    "${med[$group grep]}" "$(cat "$work/mem-${group}_grep")" \
    "${med[$group rg]}" "$(cat "$work/mem-${group}_rg")" \
    "$(echo "${med[$group tslrun]} / ${med[$group grep]}" | bc -l)" \
    "$(echo "${med[$group tslrun]} / ${med[$group rg]}" | bc -l)" "$hits"
  unset times med
done
