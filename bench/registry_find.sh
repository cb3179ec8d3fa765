#!/usr/bin/env bash
# Times TslRun's registry job on a find-only action over one key that holds VALUES string
# values (default 100,000), about one in a hundred of them holding the text searched for, and
# prints the median times, the ratio and the peak memory (`/usr/bin/time -f %M`) of each side:
#
#   linux: TslRun against the same search done by `sqlite3` on the store file (a floor: one
#          query, no key walk, no output file);
#   wine:  TslRun.exe against `wine reg query KEY /s`, whose lines grep filters for the text
#          (Wine's reg has no /f), in Wine's own registry.
#
# TslRun writes the values found to its output file; sqlite3 and reg write theirs to a file.
# Every command runs once to warm up; then they take turns RUNS times (default 5).
#
# Usage: bench/registry_find.sh linux PATH-TO-TslRun [VALUES] [RUNS]
#        bench/registry_find.sh wine PATH-TO-TslRun.exe [VALUES] [RUNS]
set -euo pipefail
side=$1
tslrun=$(realpath "$2")
values=${3:-100000}
runs=${4:-5}
here=$(cd "$(dirname "$0")/.." && pwd)

"$here/tools/install-deps.sh" bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

key='Software\TessalineBench'
text=needle
# The action: strings only, ignoring case, no questions, no progress window.
write_action() {  # write_action OUTPUT-FILE-AS-TSLRUN-SEES-IT
  printf '[Action1]\r\nKey=HKEY_CURRENT_USER\\%s\r\nSearch String=%s\r\nPrompts=0\r\nNo Progress=1\r\nOutput/Undo File=%s\r\n' \
    "$key" "$text" "$1" >"$work/find.ini"
}

# The values as a .REG file: v000000 = "... words ...", with the text in one of a hundred.
python3 - "$work/values.reg" "$values" "$key" "$text" <<'PY'
import random, sys
path, count, key, text = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
rng = random.Random(7)
words = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india"]
with open(path, "w", newline="") as f:
    f.write("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\%s]\r\n" % key)
    for i in range(count):
        data = " ".join(rng.choice(words) for _ in range(rng.randint(2, 8)))
        if rng.randrange(100) == 0:
            data += " " + (text.upper() if rng.randrange(4) == 0 else text)
        f.write('"v%06d"="%s"\r\n' % (i, data))
PY

declare -A cmd
if [ "$side" = linux ]; then
  export TESSALINE_REGISTRY="$work/registry.db"
  write_action "$work/found.reg"
  # TslRun makes the store and the key; sqlite3 then adds the values in one transaction.
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\%s]\r\n"seed"="x"\r\n' "$key" >"$work/seed.reg"
  "$tslrun" "||$work/seed.reg|"
  python3 - "$work/values.reg" "$work/values.sql" <<'PY'
import re, sys
lines = open(sys.argv[1], newline="").read().split("\r\n")
with open(sys.argv[2], "w") as out:
    out.write("BEGIN;\n")
    out.write("CREATE TEMP TABLE k AS SELECT id FROM keys WHERE folded = CAST('TESSALINEBENCH' AS BLOB);\n")
    for line in lines:
        m = re.match(r'"(v\d+)"="(.*)"$', line)
        if not m:
            continue
        name, data = m.group(1), m.group(2)
        out.write("INSERT INTO key_values(key_id, name, folded, type, data) SELECT id, "
                  "CAST('%s' AS BLOB), CAST('%s' AS BLOB), 1, CAST('%s' AS BLOB) || x'00' FROM k;\n"
                  % (name, name.upper(), data))
    out.write("COMMIT;\n")
PY
  sqlite3 "$TESSALINE_REGISTRY" <"$work/values.sql"
  sql="SELECT name FROM key_values WHERE key_id = (SELECT id FROM keys WHERE folded = CAST('TESSALINEBENCH' AS BLOB)) AND type IN (1, 2, 7) AND instr(upper(CAST(data AS TEXT)), upper('$text')) > 0;"
  cmd[tslrun]="'$tslrun' '||$work/find.ini|'"
  cmd[peer]="sqlite3 '$TESSALINE_REGISTRY' \"$sql\" >'$work/peer.txt'"
  peer_name=sqlite3
elif [ "$side" = wine ]; then
  wine_run="$here/tools/wine-run"
  export WINEDEBUG=-all WINEPREFIX="${TSL_WINEPREFIX:-${HOME:-/root}/.wine-tessaline}"
  wineserver -p 60 || true  # keep the server up, so that no run pays for starting it
  write_action "$(winepath -w "$work/found.reg")"
  trap '"$wine_run" reg delete "HKCU\\$key" /f >/dev/null 2>&1; rm -rf "$work"' EXIT
  "$wine_run" regedit /S "$(winepath -w "$work/values.reg")"
  cmd[tslrun]="'$wine_run' '$tslrun' '||$(winepath -w "$work/find.ini")|'"
  # Wine's reg has no /f: it lists the key and grep keeps the lines with the text.
  cmd[peer]="'$wine_run' reg query 'HKCU\\$key' /s | grep -i $text >'$work/peer.txt'"
  peer_name="reg query"
else
  echo "usage: $0 linux|wine PATH-TO-TslRun [VALUES] [RUNS]" >&2
  exit 2
fi

time_one() {  # time_one NAME: wall seconds of one run; the peak memory goes to $work/mem-NAME
  local start end mem old=0
  start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/mem.tmp" bash -c "${cmd[$1]}" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  mem=$(tail -1 "$work/mem.tmp")
  [ -f "$work/mem-$1" ] && old=$(cat "$work/mem-$1")
  [ "$mem" -gt "$old" ] && echo "$mem" >"$work/mem-$1"
  echo "$end - $start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

for name in tslrun peer; do time_one $name >/dev/null; done
declare -A times=()
for _ in $(seq "$runs"); do
  for name in tslrun peer; do times[$name]+="$(time_one $name) "; done
done
declare -A med=()
for name in tslrun peer; do med[$name]=$(tr ' ' '\n' <<<"${times[$name]}" | grep . | median); done
found=$(grep -c '^"v' "$work/found.reg" || true)
printf '%s, %s values: TslRun %.3f s (%s KiB, %s found)  %s %.3f s (%s KiB)  TslRun/%s %.2f\n' \
  "$side" "$values" "${med[tslrun]}" "$(cat "$work/mem-tslrun")" "$found" \
  "$peer_name" "${med[peer]}" "$(cat "$work/mem-peer")" "$peer_name" \
  "$(echo "${med[tslrun]} / ${med[peer]}" | bc -l)"
