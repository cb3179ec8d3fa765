#!/usr/bin/env bash
# Times TslRun's comparison job (scan both trees, pair, classify, write the report with the
# default columns) against `rsync -a -n --itemize-changes` on the same two trees, and `du` as the
# floor (walking both trees and reading every file's metadata), in one run. Prints the times and
# the ratios. Each command runs once to warm the cache; then the three take turns RUNS times and
# the best time of each counts.
#
# Usage: bench/synch_compare.sh PATH-TO-TslRun [FILES] [RUNS]
set -euo pipefail
tslrun=$(realpath "$1")
files=${2:-100000}
runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two trees of FILES small files in 100 folders of 10 subfolders; the target differs in 1% of
# the files' contents, 1% of their times, lacks 1% and has 1% of its own.
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

cat >"$work/compare.ini" <<INI
[Default]
Path1=$work/src
Path2=$work/dst
Operation=6
Output File=$work/report.txt
Show progress=0
[Action1]
INI

# Wall time of one run of a command, in milliseconds.
time_ms() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
}

# The three commands take turns, so that a busy moment of the machine weighs on all of them
# alike; the best time of each counts.
export TESSALINE_ANSWERS=""
du_cmd=(du -s "$work/src" "$work/dst")
rsync_cmd=(rsync -a -n --itemize-changes "$work/src/" "$work/dst/")
tsl_cmd=("$tslrun" "$work/compare.ini|||")
"${du_cmd[@]}" >/dev/null; "${rsync_cmd[@]}" >/dev/null; "${tsl_cmd[@]}"  # warm the cache
du_ms=; rsync_ms=; tsl_ms=
min() { if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }
for _ in $(seq "$runs"); do
  du_ms=$(min "$du_ms" "$(time_ms "${du_cmd[@]}")")
  rsync_ms=$(min "$rsync_ms" "$(time_ms "${rsync_cmd[@]}")")
  tsl_ms=$(min "$tsl_ms" "$(time_ms "${tsl_cmd[@]}")")
done

lines=$(wc -l <"$work/report.txt")
echo "Trees: 2 x $files files; report: $lines lines"
printf '%-44s %8s ms\n' "du -s (walk both trees, the floor)" "$du_ms"
printf '%-44s %8s ms\n' "rsync -a -n --itemize-changes" "$rsync_ms"
printf '%-44s %8s ms\n' "TslRun (scan, pair, classify, report)" "$tsl_ms"
awk -v t="$tsl_ms" -v r="$rsync_ms" -v d="$du_ms" 'BEGIN {
  printf "TslRun / rsync = %.2f   TslRun / du = %.2f\n", t / r, t / d }'
