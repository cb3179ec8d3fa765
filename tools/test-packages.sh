#!/usr/bin/env bash
# Makes the two packages with CPack from finished builds and tries them as a user would:
#   Linux: the .deb unpacked into a scratch root (dpkg -x); its TslRun runs the installed
#          examples, its TslPattern shows the version, both manual pages render without warnings.
#   Windows: the zip unpacked; its README has Windows line ends, its programs need no DLL that
#          Windows lacks and the zip does not hold, and its TslRun.exe runs an example under Wine.
# Usage: tools/test-packages.sh LINUX-BUILD WINDOWS-BUILD   (build folders, already built)
# Under Wine it uses tools/wine-run, so TSL_WINEPREFIX and TSL_WINE_DISPLAY apply as there.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: $0 LINUX-BUILD WINDOWS-BUILD" >&2; exit 2; }
linux=$(realpath "$1")
windows=$(realpath "$2")
source_dir=$PWD
t0=$SECONDS

fail() { echo "packages: $*" >&2; exit 1; }
version_of() {  # the version a build was configured with
  sed -n 's/^#define TSL_VERSION_STRING "\(.*\)"$/\1/p' "$1/generated/tessaline_version.h"
}
version=$(version_of "$linux")
[ -n "$version" ] || fail "no version in $linux"
[ "$(version_of "$windows")" = "$version" ] || fail "the two builds have different versions"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

make_package() {  # make_package BUILD GENERATOR
  (cd "$1" && cpack -G "$2") >"$scratch/cpack-$2.log" 2>&1 ||
    { cat "$scratch/cpack-$2.log"; fail "cpack -G $2 failed"; }
}

expect_lines() {  # expect_lines FILE LINE... : each LINE appears in FILE as a whole line
  local file=$1; shift
  for line in "$@"; do
    grep -qxF -- "$line" "$file" || { cat "$file"; fail "$file lacks the line: $line"; }
  done
}

# --- Linux: the Debian package -----------------------------------------------------------------
echo "--- tessaline_${version}_$(dpkg --print-architecture).deb"
make_package "$linux" DEB
deb="$linux/tessaline_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "cpack made no $deb"
dpkg-deb -c "$deb" | awk '{print $1, $6}' | tee "$scratch/deb-listing"
awk '{print $2}' "$scratch/deb-listing" >"$scratch/deb-paths"
doc=./usr/share/doc/tessaline
expect_lines "$scratch/deb-paths" ./usr/bin/TslRun ./usr/bin/TslPattern \
  ./usr/share/man/man1/TslRun.1.gz ./usr/share/man/man1/TslPattern.1.gz \
  $doc/README.md $doc/docs/synchronization.md $doc/examples/run.sh \
  $doc/examples/scripts/compare.ini $doc/examples/synch/left/docs/budget.txt
if grep -v '^\./usr/' "$scratch/deb-paths" | grep -vqx '\./'; then
  fail "the package puts files outside /usr"
fi
grep -q '^-rwxr-xr-x \./usr/bin/TslRun$' "$scratch/deb-listing" || fail "TslRun is not executable"
[ "$(dpkg-deb -f "$deb" Package)" = tessaline ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/ .*//' >"$scratch/depends"
expect_lines "$scratch/depends" libc6 libsqlite3-0 zlib1g libstdc++6  # the programs' libraries

root="$scratch/root"
dpkg -x "$deb" "$root"
[ "$("$root/usr/bin/TslPattern" --version)" = "TslPattern $version" ] ||
  fail "TslPattern --version does not say $version"

for page in TslRun TslPattern; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 \
             >"$scratch/$page.txt") || fail "man could not show $page(1)"
  [ -z "$warnings" ] || { echo "$warnings"; fail "$page(1) renders with warnings"; }
  head -1 "$scratch/$page.txt" | grep -q "^${page^^}(1)" || fail "$page(1) has no title line"
  tail -1 "$scratch/$page.txt" | grep -q "^Tessaline $version " || fail "$page(1) lacks the version"
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS"; do
    grep -qx "$section" "$scratch/$page.txt" || fail "$page(1) lacks $section"
  done
done
grep -q "TESSALINE_TRANSCRIPT" "$scratch/TslRun.txt" || fail "TslRun(1) lacks the environment"

# The installed examples, run by their own script with the installed TslRun; they must leave
# the installed files as they found them.
fingerprint() { (cd "$root" && find . -exec stat -c '%A %s %n' {} + | sort && find . -type f -exec md5sum {} + | sort); }
fingerprint >"$scratch/before"
"$root/${doc#./}/examples/run.sh" "$root/usr/bin/TslRun" >"$scratch/examples.txt" 2>&1 ||
  { cat "$scratch/examples.txt"; fail "the installed examples failed"; }
fingerprint >"$scratch/after"
diff "$scratch/before" "$scratch/after" || fail "running the examples changed the installed files"
here="$root/${doc#./}/examples"
sed -i "s|$here|EXAMPLES|g" "$scratch/examples.txt"
expect_lines "$scratch/examples.txt" \
  '    TslRun "compare.ini|||"' \
  $'      File 1 is newer\tdocs/budget.txt\t19\t5/3/2024 4:45:10 PM\t a  \t\tdocs/budget.txt\t19\t5/2/2024 9:30:00 AM\t a  \t' \
  $'      \t\t\tOnly in Dir 2\told.txt\t20\t5bb871d\t\t' \
  '    TslRun "synchronize.ini|||"' \
  '      File left/docs/plan.txt was copied to right/docs/plan.txt' \
  '      File right/old.txt was copied to left/old.txt' \
  '      left/old.txt' '      right/docs/plan.txt' \
  '    TslRun "|||search.txt"' \
  '      Line   3 - - <plan> the planning meeting; plan_b is not a plan' \
  '      Searched 3 file(s), found 10 occurrences in 3 file(s)' \
  '    The registry script replaced OldServer by NewServer; its undo file:' \
  '      "Server"="OldServer"' \
  '    TslRun "EXAMPLES/scripts/sync.ini|links.ini|import.reg|"' \
  '    MessageBox: nosuch.ini was not found. -> OK' \
  '    MessageBox: Cannot read script file\nEXAMPLES/scripts/missing.txt -> OK'
# Every run's exit status, in order: the one run with missing scripts and the one without a
# bar fail, the others succeed.
statuses=$(sed -n 's/^    exit status //p' "$scratch/examples.txt" | tr '\n' ' ')
[ "$statuses" = "0 0 0 0 0 0 0 1 1 " ] || { cat "$scratch/examples.txt"; fail "exit statuses $statuses"; }

# --- Windows: the zip --------------------------------------------------------------------------
name="tessaline-$version-win64"
echo "--- $name.zip"
make_package "$windows" ZIP
zip="$windows/$name.zip"
[ -f "$zip" ] || fail "cpack made no $zip"
unzip -l "$zip" | tee "$scratch/zip-listing"
unzip -q "$zip" -d "$scratch/zip"
top="$scratch/zip/$name"
for file in TslRun.exe TslPattern.exe README.txt examples/scripts/compare.ini \
            examples/synch/left/docs/budget.txt; do
  [ -f "$top/$file" ] || fail "the zip lacks $name/$file"
done

# The README: README.md's text, every line ended by CR LF.
[ "$(grep -c $'\r$' "$top/README.txt")" = "$(wc -l <"$top/README.txt")" ] ||
  fail "README.txt has lines without CR LF"
tr -d '\r' <"$top/README.txt" | cmp -s - README.md || fail "README.txt is not README.md"

# The DLLs each program loads: Windows' own, or one beside it in the zip.
system_dlls=" kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll ole32.dll oleaut32.dll
  shell32.dll shlwapi.dll advapi32.dll version.dll winspool.drv mpr.dll msvcrt.dll ucrtbase.dll
  ntdll.dll ws2_32.dll rpcrt4.dll bcrypt.dll uxtheme.dll "
for exe in TslRun.exe TslPattern.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$top/$exe" | sed -n 's/^\s*DLL Name: //p')
  [ -n "$dlls" ] || fail "objdump found no DLL in $exe"
  echo "$exe loads: $(echo $dlls)"
  for dll in $dlls; do
    lower=${dll,,}
    [[ "$system_dlls" == *" $lower "* || "$lower" == api-ms-win-* ]] && continue
    [ -n "$(find "$top" -maxdepth 1 -iname "$dll")" ] || fail "$exe needs $dll, which the zip lacks"
  done
done

# The unpacked programs under Wine: TslPattern.exe shows the version, and TslRun.exe compares
# the example folders as examples/scripts/compare.ini says.
[ "$(tools/wine-run "$top/TslPattern.exe" --version | tr -d '\r')" = "TslPattern $version" ] ||
  fail "TslPattern.exe --version does not say $version"
work="$scratch/wine-work"
mkdir -p "$work"
cp -R "$top/examples/synch/left" "$top/examples/synch/right" "$work/"
windows_name() {  # the name Windows programs under Wine give a Linux path
  WINEDEBUG=-all WINEPREFIX="${TSL_WINEPREFIX:-${HOME:-/root}/.wine-tessaline}" \
    winepath -w "$1" 2>/dev/null | tr -d '\r'
}
win_work=$(windows_name "$work")
win_script=$(windows_name "$top/examples/scripts/compare.ini")
[ -n "$win_work" ] && [ -n "$win_script" ] || fail "winepath could not name $work"
: >"$work/transcript.txt"
status=0
(cd "$work" && TESSALINE_ANSWERS="" TESSALINE_TRANSCRIPT="$win_work\\transcript.txt" \
   TSL_EXAMPLES="$win_work" "$source_dir/tools/wine-run" "$top/TslRun.exe" "$win_script|||") ||
  status=$?
[ "$status" -eq 0 ] || { cat "$work/transcript.txt"; fail "TslRun.exe exited with $status"; }
[ -s "$work/compare-report.txt" ] || fail "TslRun.exe wrote no comparison report"
tr -d '\r' <"$work/compare-report.txt" >"$scratch/report"
for file in budget.txt plan.txt old.txt notes.txt; do
  grep -q "$file" "$scratch/report" || { cat "$scratch/report"; fail "the report lacks $file"; }
done
if grep -q 'draft.bak' "$scratch/report"; then fail "the report shows the masked-out draft.bak"; fi
[ ! -s "$work/transcript.txt" ] || { cat "$work/transcript.txt"; fail "TslRun.exe showed messages"; }

echo "--- packages: made and tried in $((SECONDS - t0)) s"
