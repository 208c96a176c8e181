#!/usr/bin/env bash
# End-to-end test of the offline rescue: the SYSTEM hive of a mounted 64-bit
# Windows disk, its printers listed with their drivers, and every printer's
# driver packaged with generate --all (folders, index.json, summary.txt and
# the exit statuses 0, 3 and 1).
# Usage: rescue_test.sh SOURCE_DIR CLI MAKE_TEST_HIVE
set -u
src="$1"; cli="$2"; make_hive="$3"
. "$src/tests/cli/e2e_lib.sh"
fixture="$src/tests/data/cli/rescue.reg"

# The mounted disk: the hive where Windows keeps it, the x64 version 3 store
# with names in other cases than the registry's.
windows="$work/mnt/Windows"
config="$windows/System32/config"
spool="$windows/System32/spool/drivers/x64/3"
mkdir -p "$config" "$spool"
"$make_hive" --control-set 1 "$config/SYSTEM" "$fixture" || { echo "make-test-hive failed"; exit 1; }
for f in Laser.GPD UNIDRV.DLL unidrvui.DLL Unidrv.hlp LASER-RES.dll shared.gpd FAX.gpd gappy.gpd; do
  echo "$f bytes" >"$spool/$f"
done
# A failing printer besides: its driver is registered nowhere.
{ cat "$fixture"; printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Broken]\r\n"Name"="Broken"\r\n"Printer Driver"="No Such Driver"\r\n'; } >"$work/broken.reg"
"$make_hive" --control-set 1 "$work/broken.hive" "$work/broken.reg" || exit 1
touch "$work/ready"

# --- list --drivers over the hive: names, ports, each environment.
run list --hive "$config/SYSTEM" --drivers
check "list --drivers exits 0" rc_is 0
check "list --drivers says nothing on stderr (Select names the control set)" empty "$work/err"
check "list --drivers: the x64-only driver with its details" \
  has_line "$work/out" '  x64: version 3; manufacturer Laser Works; driver version 1.2.3.4; inf C:\Windows\System32\DriverStore\FileRepository\laser.inf_amd64_1\laser.inf'
check "list --drivers: the printer using it, with its port" \
  has_line "$work/out" '  printer: Office Laser (port IP_10.0.0.7)'
check "list --drivers: a driver of two environments lists both, and both its printers" \
  bash -c "grep -A5 -x 'Shared Driver' '$work/out' | grep -qx '  x86: version 3' &&
           grep -A5 -x 'Shared Driver' '$work/out' | grep -qx '  x64: version 3; manufacturer Shared Inc' &&
           grep -A5 -x 'Shared Driver' '$work/out' | grep -qx '  printer: Front Desk (port LPT1:)'"
check "list --drivers: every driver once" bash -c "[ \$(grep -c '^[^ ]' '$work/out') -eq 6 ]"

run list --hive "$config/SYSTEM" --drivers --json
check "list --drivers --json exits 0" rc_is 0
check "list --drivers --json shape" json "$work/out" '
  isinstance(j, list) and len(j) == 6 and
  [d for d in j if d["driver"] == "Laser X64"][0] == {
    "driver": "Laser X64",
    "environments": [{"arch": "x64", "environment": "Windows x64", "version": 3,
      "infPath": "C:\\Windows\\System32\\DriverStore\\FileRepository\\laser.inf_amd64_1\\laser.inf",
      "manufacturer": "Laser Works", "driverVersion": "1.2.3.4"}],
    "printers": [{"name": "Office Laser", "port": "IP_10.0.0.7"}]} and
  [e["arch"] for d in j if d["driver"] == "Shared Driver" for e in d["environments"]] == ["x86", "x64"] and
  [d["printers"] for d in j if d["driver"] == "Gappy Driver"][0] == [{"name": "Gappy"}]'

# --- generate --all: a failing printer, a missing file, the others done.
run generate --all --hive "$work/broken.hive" --windows-dir "$windows" --out "$work/rescue1" --arch x64
check "a failing printer makes --all exit 1" rc_is 1
check "the failing printer's error is on stderr" has "$work/err" "Error 2 : "
r="$work/rescue1"
# Printer by printer, so that one listed twice and another lost would show.
check "index.json lists each printer once, with its driver, folder and status" json "$r/index.json" '
  [(p["printer"], p["driver"], p["folder"], p["status"]) for p in j["printers"]] == [
    ("Back Office", "shared driver", "shared driver", "done"),
    ("Broken", "No Such Driver", "No Such Driver", "failed"),
    ("Console", "CON", "CON_", "done"),
    ("Fax One", "Fax: A/B", "Fax_ A_B", "done"),
    ("Fax Two", "Fax? A|B", "Fax_ A_B (2)", "done"),
    ("Front Desk", "shared driver", "shared driver", "done"),
    ("Gappy", "Gappy Driver", "Gappy Driver", "files missing"),
    ("Office Laser", "Laser X64", "Laser X64", "done")]'
check "index.json lists each driver once, with its printers" json "$r/index.json" '
  sorted((d["driver"], d["folder"], d["status"], tuple(d["printers"])) for d in j["drivers"]) == [
    ("CON", "CON_", "done", ("Console",)),
    ("Fax: A/B", "Fax_ A_B", "done", ("Fax One",)),
    ("Fax? A|B", "Fax_ A_B (2)", "done", ("Fax Two",)),
    ("Gappy Driver", "Gappy Driver", "files missing", ("Gappy",)),
    ("Laser X64", "Laser X64", "done", ("Office Laser",)),
    ("No Such Driver", "No Such Driver", "failed", ("Broken",)),
    ("shared driver", "shared driver", "done", ("Back Office", "Front Desk"))]'
check "index.json is written despite the failure" json "$r/index.json" '
  j["arch"] == "x64" and j["source"] == "composed" and len(j["printers"]) == 8 and
  [p["status"] for p in j["printers"] if p["printer"] == "Broken"] == ["failed"] and
  [p["error"]["message"] for p in j["printers"] if p["printer"] == "Broken"][0].startswith("Error 2 : ") and
  [p["status"] for p in j["printers"] if p["printer"] == "Gappy"] == ["files missing"] and
  [p["missing"] for p in j["printers"] if p["printer"] == "Gappy"] == [["gone.dll"]] and
  all(p["status"] == "done" and p["error"] is None
      for p in j["printers"] if p["printer"] not in ("Broken", "Gappy"))'
check "the other printers' packages are written" test -s "$r/Laser X64/vormlan.inf"
check "a package's files keep the registry's spelling" \
  bash -c "[ \"\$(cat '$r/Laser X64/laser.gpd')\" = 'Laser.GPD bytes' ] && [ -f '$r/Laser X64/laser-res.dll' ]"
check "the x64 package's INF is decorated for x64" has "$r/Laser X64/vormlan.inf" '[KEL.NTamd64]'
check "summary.txt: done" has_line "$r/summary.txt" "Office Laser -> Laser X64: done"
check "summary.txt: files missing, named" has_line "$r/summary.txt" "Gappy -> Gappy Driver: files missing: gone.dll"
check "summary.txt: the error" bash -c "grep -q '^Broken -> No Such Driver: failed: Error 2 : ' '$r/summary.txt'"
check "summary.txt: the error's second line is indented, without a CR" \
  bash -c "grep -qx '  :Unable read MULTI_SZ value.' '$r/summary.txt' && ! grep -q \$'\\r' '$r/summary.txt'"
check "the failed printer's folder holds no package" test ! -e "$r/No Such Driver/vormlan.inf"
check "the missing file's package is written" test -s "$r/Gappy Driver/vormlan.inf"

# Printers sharing a driver (named in another case) share one package.
check "a shared driver is packaged once" json "$r/index.json" '
  len({p["folder"] for p in j["printers"] if p["printer"] in ("Front Desk", "Back Office")}) == 1'
check "only one folder for the shared driver" \
  bash -c "[ \$(ls '$r' | grep -ci '^shared driver') -eq 1 ]"

# Folder names safe for Windows and Linux, kept apart when they collide.
check "unsafe driver names make distinct safe folders" json "$r/index.json" '
  sorted(p["folder"] for p in j["printers"] if p["printer"].startswith("Fax")) == ["Fax_ A_B", "Fax_ A_B (2)"]
  and [p["folder"] for p in j["printers"] if p["printer"] == "Console"] == ["CON_"]'
check "both colliding packages are on disk" \
  bash -c "[ -s '$r/Fax_ A_B/vormlan.inf' ] && [ -s '$r/Fax_ A_B (2)/vormlan.inf' ] && [ -s '$r/CON_/vormlan.inf' ]"
check "each folder's INF is its own driver's" json "$r/index.json" '
  all(("\"" + p["driver"] + "\" = KELInstSec") in open(sys.argv[1].rsplit("/", 1)[0] + "/" + p["folder"] + "/vormlan.inf", encoding="latin-1").read()
      for p in j["printers"] if p["printer"] in ("Fax One", "Fax Two", "Console"))'

# --- the same disk without the failing printer: 3, then 0 once the file is there.
run generate --all --hive "$config/SYSTEM" --windows-dir "$windows" --out "$work/rescue2" --arch x64
check "a missing file makes --all exit 3" rc_is 3
check "the missing file is named in the summary on stdout" has "$work/out" "Gappy -> Gappy Driver: files missing: gone.dll"
echo gone >"$windows/System32/gone.dll"
run generate --all --hive "$config/SYSTEM" --windows-dir "$windows" --out "$work/rescue3" --arch x64
check "every printer done makes --all exit 0" rc_is 0
check "the file found in System32 is copied" test -s "$work/rescue3/Gappy Driver/gone.dll"
check "summary.txt lists every printer as done" \
  bash -c "[ \$(grep -c ': done\$' '$work/rescue3/summary.txt') -eq 7 ]"
check "index.json: each of the seven printers once, all done" json "$work/rescue3/index.json" '
  sorted(p["printer"] for p in j["printers"]) == ["Back Office", "Console", "Fax One", "Fax Two",
    "Front Desk", "Gappy", "Office Laser"] and all(p["status"] == "done" for p in j["printers"])'
# The packages pass check for the architecture they were made for.
run check --arch x64 "$work/rescue3/Laser X64"
check "a rescued x64 package passes check --arch x64" rc_is 0
run check --arch x86 "$work/rescue3/Laser X64"
check "... and fails check for x86, which has no undecorated models" rc_is 1
run check --arch x64 "$work/rescue2/Gappy Driver"
check "a package with a missing file fails check naming it" bash -c "[ $rc -eq 1 ] && grep -q 'gone.dll' '$work/out'"
run generate --all --hive "$config/SYSTEM" --windows-dir "$windows" --out "$work/rescue3/" --arch x64 --json
check "a second --all run into the same folder keeps every file" \
  json "$work/out" 'all(p["copied"] == [] and p["kept"] and p["status"] == "done" for p in j["printers"])'
check "--out with a trailing / gives no doubled separator" \
  json "$work/out" 'all("//" not in p["out"] for p in j["printers"])'
run generate --all --hive "$config/SYSTEM" --windows-dir "$windows" --out "$work/rescue4" --arch x64 --quiet
check "--all --quiet prints nothing when all is well" bash -c "[ $rc -eq 0 ] && [ ! -s '$work/out' ] && [ ! -s '$work/err' ]"
run generate --all --hive "$work/broken.hive" --windows-dir "$windows" --out "$work/rescue6" --arch x64 --quiet
check "--all --quiet still prints the errors, and only them" \
  bash -c "[ $rc -eq 1 ] && [ ! -s '$work/out' ] && grep -q '^Error 2 : ' '$work/err' && ! grep -q -- ' -> ' '$work/err'"

# Drivers named like the files written beside the folders get other folders.
{ printf 'REGEDIT4\r\n'
  for d in index.json Summary.TXT aux.Driver 'lpt1 .x'; do
    printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s]\r\n"Printer Driver"="%s"\r\n' "P $d" "$d"
    printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\%s]\r\n"Data File"="shared.gpd"\r\n"Driver"="unidrv.dll"\r\n"Dependent Files"=hex(7):00\r\n' "$d"
  done; } >"$work/names.reg"
run generate --all --registry "$work/names.reg" --windows-dir "$windows" --out "$work/rescue5" --arch x64
check "drivers called index.json, summary.txt and devices with an extension: exit 0" rc_is 0
check "... their packages and the index are all written" \
  bash -c "[ -f '$work/rescue5/index.json' ] && [ -f '$work/rescue5/summary.txt' ] && [ \$(ls '$work/rescue5' | wc -l) -eq 6 ]"
check "... the index names their folders" json "$work/rescue5/index.json" '
  sorted(p["folder"] for p in j["printers"]) == ["Summary.TXT (2)", "aux_.Driver", "index.json (2)", "lpt1 _.x"]'

# --out is compared with the Windows directory part by part, after links
# and ".." are resolved: siblings named like it are outside it.
mnt="$work/mnt"
one() { run generate --printer "Office Laser" --hive "$config/SYSTEM" --arch x64 "$@"; }
for out in "$mnt/Windows.old/pkg" "$mnt/Windows2" "$mnt/Windows/../Windows.old/p2" "$mnt/Win"; do
  one --windows-dir "$windows" --out "$out"
  check "--out $out beside the Windows directory is written" \
    bash -c "[ $rc -eq 0 ] && [ -s '$out/vormlan.inf' ]"
done
one --windows-dir "$windows/" --out "$mnt/Windows.old/pkg3/"
check "... with trailing separators as well" bash -c "[ $rc -eq 0 ] && [ -s '$mnt/Windows.old/pkg3/vormlan.inf' ]"
ln -s "$windows" "$mnt/winlink"
ln -s "$mnt/Windows.old" "$mnt/oldlink"
for out in "$windows" "$windows/" "$windows/pkg/" "$mnt/Windows.old/../Windows/pkg" "$mnt/winlink/pkg" \
           "$mnt/Windows.old/../winlink/System32/x" "$mnt/oldlink/../Windows/pkg"; do
  one --windows-dir "$windows" --out "$out"
  check "--out $out inside the Windows directory is refused" \
    bash -c "[ $rc -eq 1 ] && grep -q 'lies inside the Windows directory' '$work/err'"
done
one --windows-dir "$mnt/winlink/" --out "$windows/pkg"
check "--windows-dir through a link and --out inside the directory: refused" \
  bash -c "[ $rc -eq 1 ] && grep -q 'lies inside the Windows directory' '$work/err'"
for out in "$mnt" "$mnt/" "$windows/.." "$mnt/Windows.old/../.."; do
  one --windows-dir "$windows" --out "$out"
  check "--out $out holding the Windows directory is refused" \
    bash -c "[ $rc -eq 1 ] && grep -q 'holds the Windows directory' '$work/err'"
done
check "no package was written inside the Windows directory" \
  bash -c "[ ! -e '$windows/pkg' ] && [ ! -e '$windows/vormlan.inf' ] && [ ! -e '$windows/System32/x' ]"

# Nothing is written outside --out (the Windows dir is untouched).
check "nothing written into the Windows directory" \
  bash -c "[ -z \"\$(find '$windows' -newer '$work/ready' -type f ! -name gone.dll)\" ]"

finish
