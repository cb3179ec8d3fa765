#!/usr/bin/env bash
# Times TslRun's file replace job replacing one literal by another in a tree of FILES small text
# files (default 50,000, a few KB each, 200 per folder; one file in eight holds the literal a few
# times) against GNU sed doing the same (`find COPY -type f -exec sed -i 's/alpha/omega/g' {} +`),
# and prints the median times, the peak memory of each and the ratio TslRun/sed.
#
# Each run works on fresh copies of the tree, one for each command, made before the timing
# starts; the two commands take turns (the one that goes first alternates), RUNS times (default
# 5), and the median counts. Peak memory is the largest resident set (`/usr/bin/time -f %M`)
# seen. After the last run the script says how many occurrences each command left and compares
# the two copies with `diff -r`: the exit status is 1 when they differ.
#
# The tree is made in a temporary folder and removed at the end, unless TREE-FOLDER is given:
# then it is kept there and used again by later runs with the same FILES.
#
# Usage: bench/filereplace_replace.sh PATH-TO-TslRun [FILES] [RUNS] [TREE-FOLDER]
set -euo pipefail
tslrun=$(realpath "$1")
files=${2:-50000}
runs=${3:-5}
tree_folder=${4:-}

"$(dirname "$0")/../tools/install-deps.sh" bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=${tree_folder:-$work/tree}
tree=$(realpath -m "$tree")

# The tree: lines of words in CR LF, 1 to 5 KB a file. Neither literal appears anywhere else,
# not even inside another word, so that counting them counts the occurrences.
stamp="files=$files version=1"
if [ "$(cat "$tree/.made" 2>/dev/null)" != "$stamp" ]; then
  if [ -e "$tree" ] && [ ! -f "$tree/.made" ] && [ -n "$(ls -A "$tree")" ]; then
    echo "$tree holds files this script did not make: give an empty or new folder" >&2
    exit 2
  fi
  rm -rf "$tree"
  python3 - "$tree" "$files" <<'PY'
import os, random, sys
root, files = sys.argv[1], int(sys.argv[2])
rng = random.Random(11)
words = ["bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india", "juliet",
         "kilo", "lima", "mike", "november", "oscar", "papa", "quebec", "romeo", "sierra", "tango",
         "uniform", "victor", "whiskey", "xray", "yankee", "zulu", "the", "of", "and", "to", "in",
         "is", "for", "that", "with", "on", "as", "by", "at", "it"]
for i in range(files):
    folder = os.path.join(root, "d%04d" % (i // 200))
    os.makedirs(folder, exist_ok=True)
    size = rng.randint(1000, 5000)
    lines, length = [], 0
    while length < size:
        line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 14))) + "\r\n"
        lines.append(line)
        length += len(line)
    if i % 8 == 0:
        for _ in range(rng.randint(2, 6)):
            k = rng.randrange(len(lines))
            lines[k] = lines[k].replace(" ", " alpha ", 1)
    with open(os.path.join(folder, "f%06d.txt" % i), "w", newline="") as f:
        f.write("".join(lines))
PY
  echo "$stamp" >"$tree/.made"
fi
# count WORD FOLDER: the occurrences of WORD in the files of FOLDER.
count() { find "$2" -name '*.txt' -exec cat {} + | { grep -o "$1" || true; } | wc -l; }
before=$(count alpha "$tree")

# The file replace script: prompts off, no backup, no results file.
printf '[Benchmark]\r\n[Options]\r\nSearch_subdir=1\r\nPrompt_flag=2\r\nWrite to Backup Dir=0\r\nShow Progress Dialog=0\r\nDisplay File Stats=0\r\n[Search]\r\nalpha\r\n[Replace]\r\nomega\r\n[Path]\r\n%s\r\n[End of Findmend Script]\r\n' \
  "$work/copy-tslrun/*.txt" >"$work/replace.fr"

declare -A cmd
cmd[tslrun]="'$tslrun' '|||$work/replace.fr'"
cmd[sed]="find '$work/copy-sed' -type f -exec sed -i 's/alpha/omega/g' {} +"

# time_one NAME: seconds of wall time of one run on a fresh copy of the tree; the peak memory
# goes to $work/mem-NAME.
time_one() {
  rm -rf "$work/copy-$1"
  cp -R "$tree" "$work/copy-$1"
  rm -f "$work/copy-$1/.made"
  sync
  local start end mem old=0
  start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/mem.tmp" bash -c "${cmd[$1]}" >/dev/null 2>&1
  end=$(date +%s.%N)
  mem=$(tail -1 "$work/mem.tmp")
  [ -f "$work/mem-$1" ] && old=$(cat "$work/mem-$1")
  [ "$mem" -gt "$old" ] && echo "$mem" >"$work/mem-$1"
  echo "$end - $start" | bc
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

declare -A times=()
for run in $(seq "$runs"); do
  if [ $((run % 2)) -eq 1 ]; then order=(tslrun sed); else order=(sed tslrun); fi
  for name in "${order[@]}"; do times[$name]+="$(time_one "$name") "; done
done
declare -A med=()
for name in tslrun sed; do med[$name]=$(tr ' ' '\n' <<<"${times[$name]}" | grep . | median); done

printf 'replace %s files  TslRun %6.3f s (%s KiB)  sed %6.3f s (%s KiB)  TslRun/sed %.2f\n' \
  "$files" "${med[tslrun]}" "$(cat "$work/mem-tslrun")" "${med[sed]}" "$(cat "$work/mem-sed")" \
  "$(echo "${med[tslrun]} / ${med[sed]}" | bc -l)"

# What each command did to its last copy, and whether the two copies came out the same.
for name in tslrun sed; do
  echo "$name: $(count omega "$work/copy-$name") of $before occurrences replaced, $(count alpha "$work/copy-$name") left"
done
if diff -r -q "$work/copy-tslrun" "$work/copy-sed" >"$work/diff.txt"; then
  echo "the trees are identical"
else
  echo "the trees differ in $(wc -l <"$work/diff.txt") file(s), for example:"
  head -3 "$work/diff.txt"
  exit 1
fi
