#!/usr/bin/env bash
# Runs TslRun on the example scripts and shows what a user would have seen: the messages
# (from the transcript) and the exit status of each run.
# Usage: examples/run.sh PATH-TO-TslRun
set -uo pipefail
tslrun=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSALINE_ANSWERS=""                    # no questions wait for a user
export TESSALINE_REGISTRY="$work/registry.db"  # a registry store of its own
export TESSALINE_TRANSCRIPT="$work/transcript.txt"
export XDG_STATE_HOME="$work/state"           # where registry undo files go

run() {  # run DESCRIPTION ARGUMENT
  echo "--- $1"
  echo "    TslRun \"$2\""
  : >"$TESSALINE_TRANSCRIPT"
  (cd "$here/scripts" && "$tslrun" "$2")
  local status=$?
  sed 's/^/    /' "$TESSALINE_TRANSCRIPT"
  echo "    exit status $status"
}

echo "TslRun reads the scripts named by its argument and runs their jobs in a fixed order:"
echo "synchronization, shortcuts, registry, file replace. The synchronization job compares two"
echo "folders and writes a report, or updates and synchronizes them and logs every file. The file"
echo "replace job searches and replaces in files and writes its results. The registry job imports"
echo ".REG files and searches and replaces in the registry, with an undo file for every change."
echo "The shortcut job checks and repairs the shortcut files of a folder (links.ini looks in a"
echo "folder Desktop beside it, which the examples do not have)."
echo

# Lays out the two small folders of examples/synch in a folder of the temporary folder, with
# fixed times: budget.txt differs (newer on the left), notes.txt is identical, plan.txt is only
# on the left, old.txt only on the right, draft.bak is masked out.
lay_out() {  # lay_out FOLDER
  mkdir -p "$1"
  cp -R "$here/synch/left" "$here/synch/right" "$1/"
  TZ=UTC touch -d '2024-05-02 09:30:00' "$1"/left/notes.txt "$1"/right/notes.txt \
    "$1"/right/docs/budget.txt "$1"/right/old.txt
  TZ=UTC touch -d '2024-05-03 16:45:10' "$1"/left/docs/budget.txt "$1"/left/docs/plan.txt \
    "$1"/left/docs/draft.bak
}

# The comparison job over the two folders, so that the report says the same on every run.
lay_out "$work"
export TSL_EXAMPLES="$work"
echo "--- The comparison script examples/scripts/compare.ini on examples/synch (left and right)"
echo "    TslRun \"compare.ini|||\""
: >"$TESSALINE_TRANSCRIPT"
(cd "$work" && TZ=UTC "$tslrun" "$here/scripts/compare.ini|||")
echo "    exit status $?"
for report in compare-report.txt compare-columns.txt; do
  echo "    $report:"
  sed -e 's/\r$//' -e "s|$work/||g" -e 's/^/      /' "$work/$report"
done
echo

# An Update (left to right) and then a Synch (both ways) on fresh copies of the same folders;
# both actions append to one log.
demo="$work/demo"
lay_out "$demo"
echo "--- The Update and Synch actions of examples/scripts/synchronize.ini on fresh copies"
echo "    TslRun \"synchronize.ini|||\""
: >"$TESSALINE_TRANSCRIPT"
(cd "$demo" && TSL_EXAMPLES="$demo" TZ=UTC "$tslrun" "$here/scripts/synchronize.ini|||")
echo "    exit status $?"
sed 's/^/    /' "$TESSALINE_TRANSCRIPT"
echo "    synchronize-log.txt:"
sed -e 's/\r$//' -e "s|$demo/||g" -e 's/^/      /' "$demo/synchronize-log.txt"
echo "    the folders afterwards:"
(cd "$demo" && find left right -type f | sort | sed 's/^/      /')
echo

# The file replace job searching examples/filereplace (a Windows-1252 text, a UTF-16 letter in
# a subfolder, a binary file), then the HTML script it chains.
search="$work/search"
mkdir -p "$search"
cp -R "$here/filereplace" "$here/scripts/search.txt" "$here/scripts/search-html.txt" "$search/"
echo "--- The file replace script examples/scripts/search.txt on examples/filereplace"
echo "    TslRun \"|||search.txt\""
: >"$TESSALINE_TRANSCRIPT"
(cd "$search" && "$tslrun" "|||search.txt")
echo "    exit status $?"
sed 's/^/    /' "$TESSALINE_TRANSCRIPT"
for results in search-results.txt search-results.html; do
  echo "    $results (the first line is the date and time of the run):"
  sed -e "s/\r$//" -e "s|$search/||g" -e "s/^/      /" "$search/$results" | iconv -f WINDOWS-1252 -t UTF-8
done
echo
run "A .REG file in the registry slot is imported (with an undo file)" "||import.reg|"
run "All four scripts, in the fixed job order" "sync.ini|links.ini|regfix.ini|text.txt"
echo "    The registry script replaced OldServer by NewServer; its undo file:"
undo=$(ls -t "$XDG_STATE_HOME"/tessaline/RT*.reg | head -1)
sed -e 's/\r$//' -e 's/^/      /' "$undo"
run "Importing the undo file puts the value back" "||$undo|"
run "Relative names resolve against the synchronization script's folder" \
    "$here/scripts/sync.ini|links.ini|import.reg|"
run "Missing scripts are reported by the job that reads them" "nosuch.ini|||missing.txt|extra"
run "Without a bar the argument names no script" "sync.ini"
