#!/usr/bin/env bash
# End-to-end tests of what vormlan-cli says: names in any script, hints after
# errors, JSON results, write failures, the ways of naming the registry and
# the target folder, options, and progress.
# Usage: messages_test.sh SOURCE_DIR CLI MAKE_TEST_HIVE
set -u
src="$1"; cli="$2"; make_hive="$3"
. "$src/tests/cli/e2e_lib.sh"
fixture="$src/tests/data/cli/messages.reg"

windows="$work/Windows"
store="$windows/System32/spool/drivers/w32x86/3"
mkdir -p "$store"
for f in laser.gpd unidrv.dll unidrvui.dll unidrv.hlp kana.gpd cyr.gpd; do echo "$f" >"$store/$f"; done

# --- names in any script.
run list --registry "$fixture"
check "list exits 0" rc_is 0
check "list prints a Japanese name in UTF-8" has_line "$work/out" "プリンタ"
check "list escapes a line feed in a name (one line)" has_line "$work/out" 'Line\nBreak'
check "list prints one line per printer" bash -c "[ \$(wc -l <'$work/out') -eq 7 ]"
run list --registry "$fixture" --json
check "list --json holds the Japanese name" json "$work/out" '"プリンタ" in j and "????" in j and "Line\nBreak" in j'
run inf --printer "ダダダダ" --registry "$fixture"
check "inf of an unknown Japanese name does not match ????" rc_is 1
check "... and prints no INF" empty "$work/out"
run inf --printer "プリンタ" --registry "$fixture"
check "inf of the Japanese name finds its own driver" \
  bash -c "[ $rc -eq 0 ] && grep -q 'Kana Driver' '$work/out'"
{ cat "$fixture"; printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Café Ωmega]\n"Printer Driver"="Laser Driver"\n'; } >"$work/cafe.reg"
"$make_hive" "$work/cafe.hive" "$work/cafe.reg" || exit 1
for source in "--registry $work/cafe.reg" "--hive $work/cafe.hive"; do
  run inf --printer "CAFÉ ΩMEGA" $source
  check "non-ASCII names match without regard to case (${source%% *})" \
    bash -c "[ $rc -eq 0 ] && grep -q '\"Laser Driver\" = KELInstSec' '$work/out'"
  run inf --printer "cafe ωmega" $source
  check "... but not without their accents (${source%% *})" rc_is 1
done
run inf --printer "Cyrillic" --registry "$fixture"
check "a driver name Windows-1252 cannot hold exits 1" rc_is 1
check "... naming the value" has "$work/err" "Драйвер"
check "... printing no INF" empty "$work/out"
run generate --printer "Cyrillic" --registry "$fixture" --windows-dir "$windows" --out "$work/cyr"
check "generate of that driver exits 1 and writes nothing" bash -c "[ $rc -eq 1 ] && [ ! -e '$work/cyr' ]"
run inf --printer "Cyrillic" --registry "$fixture" --inf-encoding utf-16
check "--inf-encoding utf-16 composes it" rc_is 0
check "... starting with the UTF-16LE byte-order mark" bash -c "[ \"\$(head -c 2 '$work/out' | od -An -tx1 | tr -d ' ')\" = fffe ]"
check "... holding the name" bash -c "iconv -f UTF-16 -t UTF-8 '$work/out' | grep -q '\"Драйвер\" = KELInstSec'"
"$cli" inf --printer "Office Laser" --registry "$fixture" >"$work/ansi.inf" 2>/dev/null
"$cli" inf --printer "Office Laser" --registry "$fixture" --inf-encoding UTF-16 >"$work/wide.inf" 2>/dev/null
check "utf-16 decodes to the same lines as ansi" \
  bash -c "tail -c +3 '$work/wide.inf' | iconv -f UTF-16LE -t UTF-8 | cmp -s - '$work/ansi.inf'"
run generate --printer "Cyrillic" --registry "$fixture" --windows-dir "$windows" --out "$work/cyr16" --inf-encoding utf-16
check "generate --inf-encoding utf-16 writes the UTF-16 INF" \
  bash -c "[ $rc -eq 0 ] && [ \"\$(head -c 2 '$work/cyr16/vormlan.inf' | od -An -tx1 | tr -d ' ')\" = fffe ]"

# --- an INF value that would start a section of its own.
run inf --printer Evil --registry "$fixture"
check "a Data File holding CR LF [Evil] is refused" rc_is 1
check "... with no INF printed" empty "$work/out"
check "... naming the value" has "$work/err" "Data File"

# --- hints.
run inf --printer $'Line\nBreak' --registry "$fixture"
check "a hint quoting a name with a line feed stays one line" \
  has_line "$work/err" 'hint: no printer named "Line\nBreak"'
run inf --printer "office  laser" --registry "$fixture"
check "an unknown printer exits 1" rc_is 1
check "the message stays first" bash -c "head -1 '$work/err' | grep -q '^Error [0-9]* : '"
check "hint: a close name (case and spaces)" has_line "$work/err" 'hint: did you mean "Office Laser"?'
check "hint: list shows the printers" has_line "$work/err" 'hint: `vormlan-cli list` shows the printers'
run inf --printer "Office Laser " --registry "$fixture"
check "hint: a trailing space" has_line "$work/err" 'hint: did you mean "Office Laser"?'
{ cat "$fixture"; printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Vormlan Demo Laser]\n"Printer Driver"="Laser Driver"\n'; } >"$work/demo.reg"
run inf --printer "Vormlan Demo Lazer" --registry "$work/demo.reg"
check "a mistyped letter exits 1" rc_is 1
check "... keeping the lookup's message first" bash -c "head -1 '$work/err' | grep -q '^Error [0-9]* : '"
check "... saying no printer has that name" has_line "$work/err" 'hint: no printer named "Vormlan Demo Lazer"'
check "... offering the name one letter away" has_line "$work/err" 'hint: did you mean "Vormlan Demo Laser"?'
check "... and only that one" bash -c "[ \$(grep -c 'did you mean' '$work/err') -eq 1 ]"
for typo in "Ofice Laser" "Offcie Laser" "OFFICE LASERR" "office-laser"; do
  run inf --printer "$typo" --registry "$fixture"
  check "hint: $typo is taken for Office Laser" has_line "$work/err" 'hint: did you mean "Office Laser"?'
done
run inf --printer "Evl" --registry "$fixture"
check "a short name is not matched by edits" lacks "$work/err" "did you mean"
run inf --printer "Nobody At All" --registry "$fixture"
check "a name far from any is offered none" lacks "$work/err" "did you mean"
check "... but the list command" has_line "$work/err" 'hint: `vormlan-cli list` shows the printers'
run inf --printer "Ofice Laser" --registry "$fixture" --json
check "the JSON error carries the hints and LF line ends" json "$work/out" '
  "did you mean \"Office Laser\"?" in j["error"]["hints"] and "\n" in j["error"]["message"] and
  "\r" not in j["error"]["message"]'
run inf --printer "Wide Only" --registry "$fixture"
check "a driver of another environment exits 1" rc_is 1
check "hint: registered for x64" has_line "$work/err" 'hint: registered for x64: add --arch x64'
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/miss"
check "missing files exit 3" rc_is 3
check "hint: the folders searched" \
  bash -c "grep -q '^hint: looked in .*w32x86/3.* and .*System32' '$work/err'"
touch "$work/afile"
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/afile/pkg"
check "--out below a file exits 1" rc_is 1
check "... naming the directory and the reason" \
  has "$work/err" "Cannot create directory \"$work/afile/pkg\": Not a directory"
check "... with '/' separators only" lacks "$work/err" '\'

# --- kept files.
echo "laser-res" >"$store/laser-res.dll"
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/keep"
check "a first run copies (exit 0)" rc_is 0
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/keep"
check "a second run exits 0" rc_is 0
check "a second run lists each kept file" \
  bash -c "grep -qx 'kept: laser.gpd (already there)' '$work/out' && grep -qx 'kept: unidrv.dll (already there)' '$work/out'"
echo "changed" >"$work/keep/laser.gpd"
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/keep"
check "a folder with a changed file is refused (exit 1)" rc_is 1
check "... naming the file, and what to do" \
  bash -c "grep -qx '  laser.gpd: differs from the driver.s file' '$work/err' && grep -q '^hint: .*--replace' '$work/err'"
check "... and it is not replaced" has_line "$work/keep/laser.gpd" changed
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/keep" --replace
check "--replace writes the driver's file over it (exit 0)" \
  bash -c "[ $rc -eq 0 ] && ! grep -qx changed '$work/keep/laser.gpd'"

# --- JSON results.
run inf --printer "Office Laser" --registry "$fixture" --json
check "inf --json exits 0" rc_is 0
check "inf --json keys" json "$work/out" '
  j["printer"] == "Office Laser" and j["driver"] == "Laser Driver" and j["arch"] == "x86" and
  j["version"] == 3 and j["error"] is None and "laser-res.dll" in j["files"] and
  j["text"].startswith("; This file") and "\r\n" in j["text"]'
run inf --printer "Nobody" --registry "$fixture" --json
check "inf --json of an error exits 1" rc_is 1
check "inf --json of an error is an error object" json "$work/out" '
  j["printer"] == "Nobody" and j["error"]["message"].startswith("Error ") and
  "`vormlan-cli list` shows the printers" in j["error"]["hints"]'
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/js" --json
check "generate --json exits 0" rc_is 0
check "generate --json prints only the JSON" bash -c "python3 -c 'import json,sys; json.load(open(sys.argv[1]))' '$work/out'"
check "generate --json keys" json "$work/out" '
  {"printer", "driver", "arch", "version", "source", "out", "inf", "copied", "kept", "missing", "error"} <= set(j) and
  j["source"] == "composed" and j["out"].endswith("/js") and j["inf"].endswith("vormlan.inf") and
  "laser.gpd" in j["copied"] and j["kept"] == [] and j["missing"] == [] and j["error"] is None'
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/js" --json
check "generate --json lists kept files" json "$work/out" 'j["copied"] == [] and "laser.gpd" in j["kept"]'
rm "$store/laser-res.dll"
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/js2" --json
check "generate --json with a missing file exits 3" rc_is 3
check "generate --json names the missing file" json "$work/out" 'j["missing"] == ["laser-res.dll"] and j["status"] == "files missing"'
echo "laser-res" >"$store/laser-res.dll"
run generate --printer "Wide Only" --registry "$fixture" --windows-dir "$windows" --out "$work/js3" --json
check "generate --json of an error exits 1" rc_is 1
check "generate --json of an error is an error object" json "$work/out" '
  j["error"]["message"] and "registered for x64: add --arch x64" in j["error"]["hints"]'
run generate --printer "Office Laser" --registry "$work/none.reg" --windows-dir "$windows" --out "$work/js4" --json
check "generate --json with an unreadable registry exits 1" rc_is 1
check "... with an error object naming the file" json "$work/out" '
  j["printer"] == "Office Laser" and "none.reg" in j["error"]["message"] and j["status"] == "failed"'
run generate --all --registry "$fixture" --windows-dir "$windows" --out "$work/afile" --json
check "generate --all --json whose --out cannot be made exits 1" rc_is 1
check "... with an index holding the error" json "$work/out" '
  j["printers"] == [] and "Cannot create directory" in j["error"]["message"]'

run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$work/no-windows" --out "$work/nw"
check "a --windows-dir that is not there exits 1" rc_is 1
check "... naming it" has "$work/err" "\"$work/no-windows\" given by --windows-dir is not a directory"
check "... before anything is written" test ! -e "$work/nw"

# --- write failures.
if [ -w /dev/full ]; then
  "$cli" list --registry "$fixture" >/dev/full 2>"$work/err"; rc=$?
  check "list >/dev/full exits 1" rc_is 1
  check "... saying why on stderr" has "$work/err" "cannot write to standard output"
  "$cli" inf --printer "Office Laser" --registry "$fixture" >/dev/full 2>"$work/err"; rc=$?
  check "inf >/dev/full exits 1" rc_is 1
  check "... saying why on stderr" has "$work/err" "cannot write to standard output"
fi

# --- the registry from standard input, control-set exports, a hive by mistake.
"$cli" list --registry - <"$fixture" >"$work/out" 2>"$work/err"; rc=$?
check "--registry - reads standard input" bash -c "[ $rc -eq 0 ] && grep -qx 'Office Laser' '$work/out'"
sed '1s/.*/Windows Registry Editor Version 5.00/; s/$/\r/' "$fixture" | iconv -f UTF-8 -t UTF-16LE >"$work/utf16.reg"
"$cli" list --registry - <"$work/utf16.reg" >"$work/out" 2>"$work/err"; rc=$?
check "--registry - reads a UTF-16LE export without a byte-order mark" \
  bash -c "[ $rc -eq 0 ] && grep -qx 'プリンタ' '$work/out' && grep -qx 'Office Laser' '$work/out'"
# Standard input is bounded as an export file is: endless input is refused
# once it passes 256 MiB, not read on (timeout would end it otherwise).
{ cat "$fixture"; yes ''; } | timeout 120 "$cli" list --registry - >"$work/out" 2>"$work/err"; rc=$?
check "--registry - refuses endless input at the cap, exit 1" rc_is 1
check "... naming standard input and the cap" \
  has "$work/err" "standard input: larger than 268435456 bytes, the limit for export files"
sed 's/CurrentControlSet/ControlSet001/' "$fixture" >"$work/cs1.reg"
run list --registry "$work/cs1.reg"
check "an export of ControlSet001 lists its printers" bash -c "[ $rc -eq 0 ] && grep -qx 'Office Laser' '$work/out'"
check "... and notes the control set on stderr" bash -c "grep -q '^note: .*ControlSet001' '$work/err'"
run inf --printer "Office Laser" --registry "$work/cs1.reg"
check "... and composes from it" bash -c "[ $rc -eq 0 ] && grep -q 'Laser Driver' '$work/out'"
"$make_hive" "$work/system.hive" "$fixture" || exit 1
run list --registry "$work/system.hive"
check "a hive given to --registry exits 1" rc_is 1
check "... saying use --hive" has "$work/err" "use --hive"
sed 's/CurrentControlSet/ControlSet002/' "$fixture" >"$work/cs2.reg"
"$make_hive" "$work/cs2.hive" "$work/cs2.reg" || exit 1
run list --hive "$work/cs2.hive"
check "a hive without Select uses its only control set" bash -c "[ $rc -eq 0 ] && grep -qx 'Office Laser' '$work/out'"
check "... and says so" bash -c "grep -q '^note: .*only control set, ControlSet002' '$work/err'"
head -c 5000 "$work/system.hive" >"$work/truncated.hive"
echo "not a hive" >"$work/text.hive"
for bad in truncated text; do
  run inf --printer "Office Laser" --hive "$work/$bad.hive"
  check "a $bad hive exits 1 naming the file" bash -c "[ $rc -eq 1 ] && grep -qF '$work/$bad.hive' '$work/err' && [ ! -s '$work/out' ]"
done
run list --hive "$work/system.hive" --json
check "the hive lists the Japanese name" json "$work/out" '"プリンタ" in j'

# --- --out is a plain path on Linux.
mkdir -p "$work/casetest/pkg"
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/casetest/PKG"
check "--out PKG beside pkg makes its own folder" \
  bash -c "[ -f '$work/casetest/PKG/vormlan.inf' ] && [ -z \"\$(ls '$work/casetest/pkg')\" ]"
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/a\\b"
check "--out 'a\\b' makes one folder of that name" \
  bash -c "[ -f '$work/a\\b/vormlan.inf' ] && [ ! -e '$work/a' ]"

# --- options.
run --version
check "--version" bash -c "[ $rc -eq 0 ] && grep -qx 'vormlan-cli [0-9][0-9.]*' '$work/out'"
run -V
check "-V" bash -c "[ $rc -eq 0 ] && grep -qx 'vormlan-cli [0-9][0-9.]*' '$work/out'"
run help
check "help lists the commands" bash -c "[ $rc -eq 0 ] && grep -q generate '$work/out' && grep -q 'check' '$work/out'"
run help generate
check "help generate lists its options and exit codes" \
  bash -c "[ $rc -eq 0 ] && grep -q -- '--source' '$work/out' && grep -q '3 written but some driver files' '$work/out'"
for command in list inf generate check; do
  run help "$command"
  check "help $command lists the exit statuses" bash -c "[ $rc -eq 0 ] && grep -q 'Exit status: 0 .*1 .*2 usage' '$work/out'"
done
run generate -p x -o y --registry "$fixture"
check "generate -p x -o y takes -p and -o (only --windows-dir is missing)" \
  bash -c "[ $rc -eq 2 ] && grep -q -- '--windows-dir is required' '$work/err' && ! grep -q -- '--printer' '$work/err'"
run generate --help
check "generate --help is help generate" bash -c "[ $rc -eq 0 ] && grep -q -- '--windows-dir' '$work/out'"
run help nothing
check "help of an unknown command is a usage error" rc_is 2
run generate -p x -o y --frobnicate --registry "$fixture" --windows-dir "$windows"
check "an unknown option exits 2" rc_is 2
check "... named as unknown" has "$work/err" "unknown option '--frobnicate'"
check "... and nothing is written" test ! -e y
run frobnicate
check "an unknown command exits 2 naming it" bash -c "[ $rc -eq 2 ] && grep -q \"unknown command 'frobnicate'\" '$work/err'"
run generate -p x --registry "$fixture" --windows-dir "$windows"
check "generate without --out exits 2 naming it" bash -c "[ $rc -eq 2 ] && grep -q -- '--out is required' '$work/err'"
run generate --all -p x -o "$work/both" --registry "$fixture" --windows-dir "$windows"
check "--all with --printer exits 2" bash -c "[ $rc -eq 2 ] && [ ! -e '$work/both' ]"
run inf --printer x --arch sparc --registry "$fixture"
check "an unknown --arch exits 2" rc_is 2
run list --registry "$fixture" --hive "$work/system.hive"
check "--registry with --hive exits 2" rc_is 2

# --- --quiet: errors only.
sed 's/CurrentControlSet/ControlSet001/' "$fixture" >"$work/cs.reg"
run generate --printer "Office Laser" --registry "$work/cs.reg" --windows-dir "$windows" --out "$work/q"
check "without --quiet the control set is noted" has "$work/err" "note: "
loud=$rc
run generate --quiet --printer "Office Laser" --registry "$work/cs.reg" --windows-dir "$windows" --out "$work/q"
check "--quiet drops the note" bash -c "! grep -q '^warning: \|^note: ' '$work/err'"
check "... keeps the exit status" rc_is "$loud"
for command in list "inf --printer Nobody"; do
  run $command --quiet --registry "$work/cs.reg"
  check "$command --quiet drops the note" lacks "$work/err" "note: "
done
check "... but not the error" bash -c "[ $rc -eq 1 ] && grep -q '^Error ' '$work/err'"
for command in list inf generate; do
  run help $command
  check "help $command says what --quiet drops" has "$work/out" "no messages, notes, warnings"
done

# --- conventions of the program's own options and usage lines.
for arguments in "--bogus" "--bogus list" "--bogus=1 list --registry $fixture"; do
  run $arguments
  check "vormlan-cli $arguments names the unknown option" \
    bash -c "[ $rc -eq 2 ] && grep -q \"unknown option '--bogus'\" '$work/err'"
done
run -V
check "a known option before no command still works" bash -c "[ $rc -eq 0 ] && grep -q '^vormlan-cli ' '$work/out'"
for command in list inf generate check; do
  run $command --help
  check "$command --help names the program in its usage line" has "$work/out" "Usage: vormlan-cli $command [OPTIONS]"
done
run help
check "help names the program in its usage line" has "$work/out" "Usage: vormlan-cli [OPTIONS]"

# --- progress: only on a terminal.
run generate --printer "Office Laser" --registry "$fixture" --windows-dir "$windows" --out "$work/p1"
check "no progress on stderr when it is no terminal" bash -c "! grep -q '\\[1/' '$work/err' && ! grep -q \$'\\r' '$work/err'"
if script -qc true /dev/null >/dev/null 2>&1; then
  script -qc "'$cli' generate --printer 'Office Laser' --registry '$fixture' --windows-dir '$windows' --out '$work/p2'" \
    /dev/null >"$work/tty" 2>&1 </dev/null
  check "progress on a terminal" has "$work/tty" "[1/"
  script -qc "'$cli' generate --quiet --printer 'Office Laser' --registry '$fixture' --windows-dir '$windows' --out '$work/p3'" \
    /dev/null >"$work/tty" 2>&1 </dev/null
  check "--quiet shows no progress on a terminal" bash -c "[ ! -s '$work/tty' ]"
  script -qc "'$cli' generate --all --registry '$fixture' --windows-dir '$windows' --out '$work/p4'" \
    /dev/null >"$work/tty" 2>&1 </dev/null
  check "--all shows each printer's step on a terminal" has "$work/tty" "[5/7] Office Laser"
  check "a step's name keeps to its line" has "$work/tty" '[4/7] Line\nBreak'
fi

finish
