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
echo "synchronization, shortcuts, registry, file replace. This build reads every script and"
echo "reports the ones it cannot read; the jobs' own work arrives job by job."
echo
run "All four scripts, in the fixed job order" "sync.ini|links.ini|regfix.ini|text.txt"
run "A .REG file in the registry slot is taken as a registry file" "||import.reg|"
run "Relative names resolve against the synchronization script's folder" \
    "$here/scripts/sync.ini|links.ini|import.reg|"
run "Missing scripts are reported by the job that reads them" "nosuch.ini|||missing.txt|extra"
run "Without a bar the argument names no script" "sync.ini"
