#!/usr/bin/env bash
# Times TslRun's synchronization job against its peers, in one run, and prints the times, the
# processor times, the peak memory and the ratios.
#
# The comparison (scan both trees, pair, classify, write the report with the default columns)
# runs against `rsync -a -n --itemize-changes`, with `du` as the floor (walking both trees and
# reading every file's metadata), on three tree shapes of FILES files a side:
#
#   small: 100 folders of 10 subfolders of small files (about 20 bytes); the target differs in
#          1% of the contents, 1% of the times (its copy is newer), lacks 1% and has 1% of its own;
#   wide:  200 folders of FILES/200 files of 1-4 KB, with the same four kinds of difference at
#          1% each (4% in all);
#   deep:  folders 10 levels deep, 4 to a folder, 10 files in each folder of the last levels,
#          with the differences of the small tree.
#
# On the small tree it also times an Update (operation 3, confirm updates off, show progress off)
# against `rsync -a` doing the same update on an identical copy of the target, and the first full
# copy into an empty folder against `rsync -a` and `cp -a`.
#
# Each command runs once to warm the cache; then the commands of a part take turns RUNS times and
# the median of each counts. The trees the updates and copies change are put back between runs,
# untimed. Peak memory is the largest resident size of the process (`/usr/bin/time -f %M`); the
# memory per file record is TslRun's peak less its peak on two empty folders and less the bytes of
# the relative paths, over the number of files of both sides.
#
# Usage: bench/synch_compare.sh [options] PATH-TO-TslRun
#   --files N       files a side (default 100000)
#   --runs N        runs of each command (default 5)
#   --shapes LIST   comma-separated shapes (default small,wide,deep)
#   --no-updates    leave out the update and the full copy
#   --same-report OTHER-TslRun
#                   also writes each shape's report with another build of TslRun and checks that
#                   the two reports are identical byte for byte
#   --million       the growth run instead: the small tree at 100,000 and at 1,000,000 files a side,
#                   the comparison only (laying out the large trees takes minutes and 8 GB of disk)
#   --busy          the comparisons run beside as many busy loops as the machine has processors:
#                   a busy machine, where a second thread finds no processor left idle
set -euo pipefail
files=100000
runs=5
shapes=small,wide,deep
updates=1
other=
million=0
busy=0
while [ $# -gt 1 ]; do
  case "$1" in
    --files) files=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --shapes) shapes=$2; shift 2 ;;
    --no-updates) updates=0; shift ;;
    --same-report) other=$(realpath "$2"); shift 2 ;;
    --million) million=1; shift ;;
    --busy) busy=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
tslrun=$(realpath "$1")
command -v rsync >/dev/null && [ -x /usr/bin/time ] || {
  echo "needs rsync and /usr/bin/time (tools/install-deps.sh bench)" >&2; exit 2; }
work=$(mktemp -d)
busy_pids=()
start_busy() {
  [ "$busy" = 1 ] || return 0
  for _ in $(seq "$(nproc)"); do
    (while :; do :; done) &
    busy_pids+=("$!")
  done
}
stop_busy() {
  [ "${#busy_pids[@]}" -gt 0 ] || return 0
  kill "${busy_pids[@]}" 2>/dev/null || true
  wait "${busy_pids[@]}" 2>/dev/null || true
  busy_pids=()
}
trap 'stop_busy; rm -rf "$work"' EXIT
export TESSALINE_ANSWERS=""

# Lays out the shape's two trees under DIR (src and dst) and prints the bytes of the relative
# paths of both sides' files.
layout() {  # layout SHAPE COUNT DIR
  python3 - "$@" <<'PY'
import os, random, sys
shape, count, root = sys.argv[1], int(sys.argv[2]), sys.argv[3]
rng = random.Random(1)
names = 0

def folder_of(i):
    if shape == "small":
        return "d%03d/e%d" % (i % 100, i // 100 % 10)
    if shape == "wide":
        return "w%03d" % (i % 200)
    # deep: the folder number in base 4, one digit a level, 10 levels
    n, digits = i // 10, []
    for _ in range(10):
        digits.append("l%d" % (n % 4))
        n //= 4
    return "/".join(reversed(digits))

def content_of(i):
    if shape == "wide":
        size = 1024 + (i * 7919) % 3072
        line = ("line of file %d " % i).encode()
        return (line * (size // len(line) + 1))[:size]
    return ("content of file %d\n" % i).encode()

made = set()
for side in ("src", "dst"):
    for i in range(count):
        relative = "%s/file%07d.txt" % (folder_of(i), i)
        if side == "dst" and i % 100 == 3:
            continue  # missing in the target
        folder = os.path.join(root, side, os.path.dirname(relative))
        if folder not in made:
            os.makedirs(folder, exist_ok=True)
            made.add(folder)
        content = content_of(i)
        if side == "dst" and i % 100 == 5:
            content = content[:-8] + b"changed\n"  # same size, other bytes
        with open(os.path.join(root, side, relative), "wb") as f:
            f.write(content)
        names += len(relative)
        t = 1600000000 + i
        if side == "dst" and i % 100 == 7:
            t += 3600
        os.utime(os.path.join(root, side, relative), (t, t))
    if side == "dst":
        for i in range(count // 100):
            relative = "%s/extra%07d.txt" % (folder_of(i * 37 % count), i)
            os.makedirs(os.path.dirname(os.path.join(root, side, relative)), exist_ok=True)
            with open(os.path.join(root, side, relative), "wb") as f:
                f.write(b"extra\n")
            names += len(relative)
print(names)
PY
}

job() {  # job FILE OPERATION SOURCE TARGET [MORE-KEYS]
  printf '[Default]\nPath1=%s\nPath2=%s\nOperation=%s\nShow progress=0\nConfirm Updates=0\n%s[Action1]\n' \
    "$3" "$4" "$2" "${5:-}" >"$1"
}

# One run of a command: appends "wall-ms cpu-ms peak-KiB" to the file NAME.
measure() {  # measure NAME COMMAND...
  local name=$1; shift
  /usr/bin/time -f '%e %U %S %M' -o "$work/time.out" "$@" >/dev/null 2>&1 || true
  awk '{ printf "%d %d %d\n", $1 * 1000, ($2 + $3) * 1000, $4 }' "$work/time.out" >>"$work/$name.runs"
}
# The median of column COLUMN (1 wall, 2 CPU, 3 peak) of NAME's runs.
median() {  # median NAME COLUMN
  cut -d' ' -f"$2" "$work/$1.runs" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
row() {  # row LABEL NAME
  printf '%-52s %8s ms %8s ms %8s KiB\n' "$1" "$(median "$2" 1)" "$(median "$2" 2)" "$(median "$2" 3)"
}

# TslRun's peak on a comparison of two empty folders: what a record's memory is counted from.
mkdir -p "$work/empty1" "$work/empty2"
job "$work/empty.ini" 6 "$work/empty1" "$work/empty2" "Output File=$work/empty-report.txt
"
for _ in 1 2 3; do measure base "$tslrun" "$work/empty.ini|||"; done
base_kib=$(median base 3)

# The comparison of one shape: prints its rows and ratios.
compare_shape() {  # compare_shape SHAPE COUNT
  local shape=$1 count=$2 tree="$work/$1-$2" name_bytes
  echo "Laying out the $shape tree, 2 x $count files..." >&2
  name_bytes=$(layout "$shape" "$count" "$tree")
  sync  # the new files' writing must not run in the background of the timed runs
  job "$tree/compare.ini" 6 "$tree/src" "$tree/dst" "Output File=$tree/report.txt
"
  local du_cmd=(du -s "$tree/src" "$tree/dst")
  local rsync_cmd=(rsync -a -n --itemize-changes "$tree/src/" "$tree/dst/")
  local tsl_cmd=("$tslrun" "$tree/compare.ini|||")
  "${du_cmd[@]}" >/dev/null; "${rsync_cmd[@]}" >/dev/null; "${tsl_cmd[@]}"
  rm -f "$work"/{du,rsync,tsl}-"$shape-$count".runs
  start_busy
  for _ in $(seq "$runs"); do
    measure "du-$shape-$count" "${du_cmd[@]}"
    measure "rsync-$shape-$count" "${rsync_cmd[@]}"
    measure "tsl-$shape-$count" "${tsl_cmd[@]}"
  done
  stop_busy
  local records=$(( $(find "$tree/src" "$tree/dst" -type f | wc -l) ))
  echo
  echo "Shape $shape: 2 x $count files ($records in all), report $(wc -l <"$tree/report.txt") lines; median of $runs runs$([ "$busy" = 1 ] && echo ", beside $(nproc) busy loops")"
  printf '%-52s %11s %11s %12s\n' "" "wall" "CPU" "peak memory"
  row "du -s (walk both trees, the floor)" "du-$shape-$count"
  row "rsync -a -n --itemize-changes" "rsync-$shape-$count"
  row "TslRun comparison (scan, pair, classify, report)" "tsl-$shape-$count"
  awk -v tw="$(median "tsl-$shape-$count" 1)" -v rw="$(median "rsync-$shape-$count" 1)" \
      -v tc="$(median "tsl-$shape-$count" 2)" -v rc="$(median "rsync-$shape-$count" 2)" \
      -v dw="$(median "du-$shape-$count" 1)" -v peak="$(median "tsl-$shape-$count" 3)" \
      -v base="$base_kib" -v names="$name_bytes" -v n="$records" 'BEGIN {
    printf "TslRun / rsync -n: %.2f wall, %.2f CPU;  TslRun / du: %.2f wall\n", tw / rw, tc / rc, tw / dw
    printf "memory per file record beyond its name: %.0f bytes (peak %d KiB, base %d KiB, names %d bytes)\n",
      ((peak - base) * 1024 - names) / n, peak, base, names }'
  if [ -n "$other" ]; then
    job "$tree/other.ini" 6 "$tree/src" "$tree/dst" "Output File=$tree/other-report.txt
"
    "$other" "$tree/other.ini|||"
    if cmp -s "$tree/report.txt" "$tree/other-report.txt"; then
      echo "the other build's report is identical"
    else
      echo "THE OTHER BUILD'S REPORT DIFFERS"; diff "$tree/other-report.txt" "$tree/report.txt" | head -20
    fi
  fi
}

if [ "$million" = 1 ]; then
  compare_shape small 100000
  rm -rf "$work/small-100000"
  compare_shape small 1000000
  awk -v a="$(median tsl-small-100000 1)" -v b="$(median tsl-small-1000000 1)" \
      -v ra="$(median rsync-small-100000 1)" -v rb="$(median rsync-small-1000000 1)" 'BEGIN {
    printf "\ngrowth from 2 x 100,000 to 2 x 1,000,000 files: TslRun %.1fx, rsync -n %.1fx\n", b / a, rb / ra }'
  exit 0
fi

IFS=, read -ra shape_list <<<"$shapes"
for shape in "${shape_list[@]}"; do compare_shape "$shape" "$files"; done
[ "$updates" = 1 ] || exit 0

# The update and the full copy, on the small tree.
tree="$work/small-$files"
[ -d "$tree" ] || layout small "$files" "$tree" >/dev/null
job "$tree/update.ini" 3 "$tree/src" "$tree/dst-tsl"
job "$tree/copy.ini" 3 "$tree/src" "$tree/copy"

# Before each run of an update: both targets as the pristine target again. Before each run of a
# full copy: no target at all. Then everything written so far goes to the disk, so that no run
# pays for the writing of the one before.
reset_targets() {
  rsync -a --delete "$tree/dst/" "$tree/dst-tsl/"
  rsync -a --delete "$tree/dst/" "$tree/dst-rsync/"
  sync
}
reset_copy() {
  rm -rf "$tree/copy"
  sync
}

rsync_update_cmd=(rsync -a "$tree/src/" "$tree/dst-rsync/")
tsl_update_cmd=("$tslrun" "$tree/update.ini|||")
reset_targets; "${rsync_update_cmd[@]}"; "${tsl_update_cmd[@]}"
for _ in $(seq "$runs"); do
  reset_targets
  measure rsync-update "${rsync_update_cmd[@]}"
  measure tsl-update "${tsl_update_cmd[@]}"
done
changed=$(cd "$tree" && diff -rq src dst-tsl 2>/dev/null | grep -c differ || true)

rsync_copy_cmd=(rsync -a "$tree/src/" "$tree/copy/")
cp_copy_cmd=(cp -a "$tree/src" "$tree/copy")
tsl_copy_cmd=("$tslrun" "$tree/copy.ini|||")
reset_copy; "${rsync_copy_cmd[@]}"; reset_copy; "${cp_copy_cmd[@]}"; reset_copy; "${tsl_copy_cmd[@]}"
copied=$(find "$tree/copy" -type f | wc -l)
# rsync's own comparison of TslRun's copy with the source: no file may differ in size or time.
unequal=$(rsync -a -n --itemize-changes "$tree/src/" "$tree/copy/" | grep -c '^>f' || true)
for _ in $(seq "$runs"); do
  reset_copy; measure rsync-copy "${rsync_copy_cmd[@]}"
  reset_copy; measure cp-copy "${cp_copy_cmd[@]}"
  reset_copy; measure tsl-copy "${tsl_copy_cmd[@]}"
done

echo
echo "Small tree, 2 x $files files: update and full copy; median of $runs runs"
printf '%-52s %11s %11s %12s\n' "" "wall" "CPU" "peak memory"
row "rsync -a (update)" rsync-update
row "TslRun Update (files left different: $changed)" tsl-update
row "rsync -a (full copy)" rsync-copy
row "cp -a (full copy)" cp-copy
row "TslRun Update into an empty folder ($copied files)" tsl-copy
echo "Files of TslRun's full copy that rsync finds different from the source: $unequal"
awk -v tu="$(median tsl-update 1)" -v ru="$(median rsync-update 1)" \
    -v tc="$(median tsl-copy 1)" -v rc="$(median rsync-copy 1)" -v cc="$(median cp-copy 1)" 'BEGIN {
  printf "update:     TslRun / rsync = %.2f\n", tu / ru
  printf "full copy:  TslRun / rsync = %.2f   TslRun / cp -a = %.2f\n", tc / rc, tc / cc }'
