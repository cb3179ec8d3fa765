#!/usr/bin/env bash
# Times TslRun's synchronization job against its peers on two trees of FILES small files, in one
# run, and prints the times and the ratios:
#
#   1. the comparison (scan both trees, pair, classify, write the report with the default
#      columns) against `rsync -a -n --itemize-changes`, with `du` as the floor (walking both
#      trees and reading every file's metadata);
#   2. an Update (operation 3, confirm updates off, show progress off) against `rsync -a` doing
#      the same update on an identical copy of the target;
#   3. the first full copy into an empty folder: TslRun's Update against `rsync -a` and `cp -a`.
#
# Each command runs once to warm the cache; then the commands of a part take turns RUNS times and
# the best time of each counts. The trees the updates and copies change are put back between
# runs, untimed.
#
# Usage: bench/synch_compare.sh PATH-TO-TslRun [FILES] [RUNS]
set -euo pipefail
tslrun=$(realpath "$1")
files=${2:-100000}
runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two trees of FILES small files in 100 folders of 10 subfolders; the target differs in 1% of
# the files' contents, 1% of their times (the target's copy is newer), lacks 1% and has 1% of
# its own.
python3 - "$work" "$files" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for side in ("src", "dst"):
    for i in range(count):
        folder = os.path.join(root, side, "d%03d" % (i % 100), "e%d" % (i // 100 % 10))
        os.makedirs(folder, exist_ok=True)
        name = os.path.join(folder, "file%06d.txt" % i)
        if side == "dst" and i % 100 == 3:
            continue  # missing in the target
        content = "content of file %d\n" % i
        if side == "dst" and i % 100 == 5:
            content = "changed content %d\n" % i
        with open(name, "w") as f:
            f.write(content)
        t = 1600000000 + i
        if side == "dst" and i % 100 == 7:
            t += 3600
        os.utime(name, (t, t))
    if side == "dst":
        for i in range(count // 100):
            with open(os.path.join(root, side, "d%03d" % (i % 100), "extra%05d.txt" % i), "w") as f:
                f.write("extra\n")
PY

job() {  # job NAME OPERATION SOURCE TARGET [MORE-KEYS]
  printf '[Default]\nPath1=%s\nPath2=%s\nOperation=%s\nShow progress=0\nConfirm Updates=0\n%s[Action1]\n' \
    "$3" "$4" "$2" "${5:-}" >"$work/$1.ini"
}
job compare 6 "$work/src" "$work/dst" "Output File=$work/report.txt
"
job update 3 "$work/src" "$work/dst-tsl"
job copy 3 "$work/src" "$work/copy"

# Wall time of one run of a command, in milliseconds.
time_ms() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
}
min() { if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }
export TESSALINE_ANSWERS=""

# Before each run of an update: both targets as the pristine target again. Before each run of a
# full copy: no target at all. Then everything written so far goes to the disk, so that no run
# pays for the writing of the one before.
reset_targets() {
  rsync -a --delete "$work/dst/" "$work/dst-tsl/"
  rsync -a --delete "$work/dst/" "$work/dst-rsync/"
  sync
}
reset_copy() {
  rm -rf "$work/copy"
  sync
}

# 1. The comparison.
du_cmd=(du -s "$work/src" "$work/dst")
rsync_n_cmd=(rsync -a -n --itemize-changes "$work/src/" "$work/dst/")
tsl_compare_cmd=("$tslrun" "$work/compare.ini|||")
"${du_cmd[@]}" >/dev/null; "${rsync_n_cmd[@]}" >/dev/null; "${tsl_compare_cmd[@]}"
du_ms=; rsync_n_ms=; tsl_compare_ms=
for _ in $(seq "$runs"); do
  du_ms=$(min "$du_ms" "$(time_ms "${du_cmd[@]}")")
  rsync_n_ms=$(min "$rsync_n_ms" "$(time_ms "${rsync_n_cmd[@]}")")
  tsl_compare_ms=$(min "$tsl_compare_ms" "$(time_ms "${tsl_compare_cmd[@]}")")
done

# 2. The update, each tool on its own identical copy of the target.
rsync_update_cmd=(rsync -a "$work/src/" "$work/dst-rsync/")
tsl_update_cmd=("$tslrun" "$work/update.ini|||")
reset_targets; "${rsync_update_cmd[@]}"; "${tsl_update_cmd[@]}"
rsync_update_ms=; tsl_update_ms=
for _ in $(seq "$runs"); do
  reset_targets
  rsync_update_ms=$(min "$rsync_update_ms" "$(time_ms "${rsync_update_cmd[@]}")")
  tsl_update_ms=$(min "$tsl_update_ms" "$(time_ms "${tsl_update_cmd[@]}")")
done
changed=$(cd "$work" && diff -rq src dst-tsl 2>/dev/null | grep -c differ || true)

# 3. The first full copy into an empty folder.
rsync_copy_cmd=(rsync -a "$work/src/" "$work/copy/")
cp_copy_cmd=(cp -a "$work/src" "$work/copy")
tsl_copy_cmd=("$tslrun" "$work/copy.ini|||")
reset_copy; "${rsync_copy_cmd[@]}"; reset_copy; "${cp_copy_cmd[@]}"; reset_copy; "${tsl_copy_cmd[@]}"
copied=$(find "$work/copy" -type f | wc -l)
# rsync's own comparison of TslRun's copy with the source: no file may differ in size or time.
unequal=$(rsync -a -n --itemize-changes "$work/src/" "$work/copy/" | grep -c '^>f' || true)
rsync_copy_ms=; cp_copy_ms=; tsl_copy_ms=
for _ in $(seq "$runs"); do
  reset_copy; rsync_copy_ms=$(min "$rsync_copy_ms" "$(time_ms "${rsync_copy_cmd[@]}")")
  reset_copy; cp_copy_ms=$(min "$cp_copy_ms" "$(time_ms "${cp_copy_cmd[@]}")")
  reset_copy; tsl_copy_ms=$(min "$tsl_copy_ms" "$(time_ms "${tsl_copy_cmd[@]}")")
done

lines=$(wc -l <"$work/report.txt")
echo "Trees: 2 x $files files; report: $lines lines; best of $runs runs"
printf '%-48s %8s ms\n' "du -s (walk both trees, the floor)" "$du_ms"
printf '%-48s %8s ms\n' "rsync -a -n --itemize-changes" "$rsync_n_ms"
printf '%-48s %8s ms\n' "TslRun comparison (scan, pair, classify, report)" "$tsl_compare_ms"
printf '%-48s %8s ms\n' "rsync -a (update)" "$rsync_update_ms"
printf '%-48s %8s ms\n' "TslRun Update (files left different: $changed)" "$tsl_update_ms"
printf '%-48s %8s ms\n' "rsync -a (full copy)" "$rsync_copy_ms"
printf '%-48s %8s ms\n' "cp -a (full copy)" "$cp_copy_ms"
printf '%-48s %8s ms\n' "TslRun Update into an empty folder ($copied files)" "$tsl_copy_ms"
echo "Files of TslRun's full copy that rsync finds different from the source: $unequal"
awk -v t="$tsl_compare_ms" -v r="$rsync_n_ms" -v d="$du_ms" \
    -v tu="$tsl_update_ms" -v ru="$rsync_update_ms" \
    -v tc="$tsl_copy_ms" -v rc="$rsync_copy_ms" -v cc="$cp_copy_ms" 'BEGIN {
  printf "comparison: TslRun / rsync -n = %.2f   TslRun / du = %.2f\n", t / r, t / d
  printf "update:     TslRun / rsync = %.2f\n", tu / ru
  printf "full copy:  TslRun / rsync = %.2f   TslRun / cp -a = %.2f\n", tc / rc, tc / cc }'
