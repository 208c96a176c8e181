#!/usr/bin/env bash
# End-to-end tests of "vormlan-cli inf" and "vormlan-cli generate": exact INF
# bytes, exit statuses and messages, and a package on a real directory tree.
# Usage: inf_generate_test.sh SOURCE_DIR MODE CLI...
#   MODE "native": CLI is the Linux program; "windows": CLI is the wrapper and
#   the .exe, and file arguments are handed over as Z: paths.
set -u
src="$1"; mode="$2"; shift 2
cli=("$@")
fixture="$src/tests/wine/generation-printers.reg"
golden="$src/tests/data/cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0; failed=0

arg() {  # a file argument as the program under test expects it
  if [ "$mode" = windows ]; then echo "Z:$(echo "$1" | tr / '\\')"; else echo "$1"; fi
}
check() {  # name, condition
  if eval "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

# --- inf: byte-exact text for each kind of printer.
for case in "Laser Three:laser-three" "Laser Two:laser-two" "Lost Monitor:lost-monitor" \
            "Orphan With Files:orphan-with-files"; do
  printer="${case%%:*}"; file="${case##*:}"
  "${cli[@]}" inf --printer "$printer" --registry "$(arg "$fixture")" >"$work/out.inf" 2>"$work/err"
  rc=$?
  check "inf $printer exits 0" "[ $rc -eq 0 ]"
  check "inf $printer matches $file.inf" "cmp -s '$work/out.inf' '$golden/$file.inf'"
done
"${cli[@]}" inf --printer "\\\\srv\\laser" --registry "$(arg "$fixture")" >"$work/out.inf" 2>/dev/null
check "inf of a connection name" "cmp -s '$work/out.inf' '$golden/laser-three.inf'"
"${cli[@]}" inf --printer "Nobody" --registry "$(arg "$golden/missing-key.reg")" >"$work/out.inf" 2>/dev/null
check "inf with the printer key missing" "cmp -s '$work/out.inf' '$golden/missing-key.inf'"

# --- inf: lookup errors as the error box shows them, usage errors.
"${cli[@]}" inf --printer "Orphan" --registry "$(arg "$fixture")" >"$work/stdout" 2>"$work/err"
rc=$?
check "inf error exits 1" "[ $rc -eq 1 ]"
check "inf error prints nothing on stdout" "[ ! -s '$work/stdout' ]"
tr -d '\r' <"$work/err" >"$work/err.txt"
check "inf error message" "grep -q '^Error 2 : The system cannot find the file specified.' '$work/err.txt' && grep -q '^:Unable read MULTI_SZ value\\.\$' '$work/err.txt'"
"${cli[@]}" inf --printer "Dword Driver" --registry "$(arg "$fixture")" >/dev/null 2>"$work/err"
rc=$?
check "type error exits 1" "[ $rc -eq 1 ]"
check "type error text has no added period" "grep -qx \"Invalid data type for 'Driver'\" <(tr -d '\\r' <'$work/err')"
"${cli[@]}" inf --registry "$(arg "$fixture")" >/dev/null 2>&1
rc=$?
check "inf without --printer is a usage error" "[ $rc -eq 2 ]"
"${cli[@]}" inf --printer X --registry "$(arg "$work/nonexistent.reg")" >/dev/null 2>"$work/err"
rc=$?
check "unreadable export file exits 1" "[ $rc -eq 1 ] && [ -s '$work/err' ]"

# --- generate: a package on disk.
windows="$work/windows"
store="$windows/system32/spool/drivers/w32x86/3"
mkdir -p "$store"
for f in three.gpd unidrv.dll unidrvui.dll unidrv.hlp unires.dll three-res.dll; do
  echo "$f" >"$store/$f"
done
echo pjlmon >"$windows/system32/pjlmon.dll"
out="$work/out/pkg"
"${cli[@]}" generate --printer "Laser Three" --registry "$(arg "$fixture")" \
  --windows-dir "$(arg "$windows")" --out "$(arg "$out")" >"$work/stdout" 2>"$work/err"
rc=$?
check "generate exits 0" "[ $rc -eq 0 ]"
check "generate says the driver was created" "[ \"\$(tr -d '\\r' <'$work/stdout')\" = 'Driver has been created' ]"
check "generate writes the INF" "cmp -s '$out/vormlan.inf' '$golden/laser-three.inf'"
check "generate copies from System32" "[ \"\$(cat '$out/pjlmon.dll')\" = pjlmon ]"
check "generate copies under the registry's spelling" "ls '$out' | grep -qi '^unidrvui.dll\$'"

rm "$store/unires.dll"
out2="$work/out2"
"${cli[@]}" generate --printer "Laser Three" --registry "$(arg "$fixture")" \
  --windows-dir "$(arg "$windows")" --out "$(arg "$out2")" >"$work/stdout" 2>"$work/err"
rc=$?
check "missing files exit 3" "[ $rc -eq 3 ]"
check "missing files are named" "tr -d '\\r' <'$work/stdout' | grep -qx 'unires.dll'"
check "the INF is written despite missing files" "[ -s '$out2/vormlan.inf' ]"

"${cli[@]}" generate --printer "Orphan" --registry "$(arg "$fixture")" \
  --windows-dir "$(arg "$windows")" --out "$(arg "$work/out3")" >/dev/null 2>&1
rc=$?
check "generate error exits 1 and writes nothing" "[ $rc -eq 1 ] && [ ! -e '$work/out3' ]"
"${cli[@]}" generate --printer "Unsafe" --registry "$(arg "$fixture")" \
  --windows-dir "$(arg "$windows")" --out "$(arg "$work/out4")" >/dev/null 2>"$work/err"
rc=$?
check "a file name leaving its folder is refused before anything is written" \
  "[ $rc -eq 1 ] && [ ! -e '$work/out4' ] && grep -q 'Dependent Files' '$work/err'"
"${cli[@]}" generate --printer "Laser Three" >/dev/null 2>&1
rc=$?
check "generate without --out is a usage error" "[ $rc -eq 2 ]"

# --- generate into a drive root (Wine only: a drive letter mapped to a test folder).
if [ "$mode" = windows ]; then
  prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "${cli[0]}")
  mkdir -p "$work/root"
  ln -sfn "$work/root" "$prefix/dosdevices/q:"
  "${cli[@]}" generate --printer "Laser Three" --registry "$(arg "$fixture")" \
    --windows-dir "$(arg "$windows")" --out 'Q:\' >/dev/null 2>"$work/err"
  rc=$?
  rm -f "$prefix/dosdevices/q:"
  check "generate into a drive root exits 3 (unires.dll is gone)" "[ $rc -eq 3 ]"
  check "drive root holds the INF" "cmp -s '$work/root/vormlan.inf' '$golden/laser-three.inf'"
  check "drive root holds the files" "[ -s '$work/root/pjlmon.dll' ]"
fi

echo "cli: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
