#!/usr/bin/env bash
# End-to-end test of the rescue of a real disk: the SYSTEM hive of a real
# Windows 7 installation (shared/data/real-hives/win7-x86), which holds
# drivers and no queue, with a SOFTWARE hive that holds the queues, as
# Windows keeps them since Vista. Also: two architectures in one rescue, the
# architecture of the system read, and a hive that was not closed cleanly.
# Usage: real_hive_test.sh SOURCE_DIR CLI MAKE_TEST_HIVE REAL_HIVES_DIR
set -u
src="$1"; cli="$2"; make_hive="$3"; real="$4"
. "$src/tests/cli/e2e_lib.sh"

if [ ! -f "$real/win7-x86/SYSTEM.xz" ]; then
  echo "no real hive in $real: skipped"
  exit 0
fi
# The disk as it is mounted: names in the letter cases Windows left.
windows="$work/mnt/Windows"
config="$windows/system32/config"
store="$windows/system32/spool/DRIVERS/W32X86/3"
mkdir -p "$config" "$store"
xz -dc "$real/win7-x86/SYSTEM.xz" >"$config/SYSTEM" || { echo "xz failed"; exit 1; }
"$make_hive" "$work/SOFTWARE" "$src/tests/data/cli/real-software.reg" 'HKEY_LOCAL_MACHINE\SOFTWARE' ||
  { echo "make-test-hive failed"; exit 1; }
for f in PSCRIPT5.DLL PS5UI.DLL PSCRIPT.HLP HPMCPD25.PPD; do echo "$f bytes" >"$store/$f"; done
system_sum=$(sha256sum "$config/SYSTEM")

# --- the SYSTEM hive alone: drivers, no queue, and where the queues are.
run list --hive "$config/SYSTEM"
check "SYSTEM alone lists no printer and exits 0" rc_is 0
check "... and says where Windows keeps its queues" has "$work/err" "hint: Windows Vista and later keep their printer queues in the SOFTWARE hive"
check "... naming the option" has "$work/err" "--software-hive"

run list --drivers --hive "$config/SYSTEM"
check "list --drivers over SYSTEM alone exits 0" rc_is 0
for d in "HP Color LaserJet 2800 Series PS" "Microsoft Shared Fax Driver" "Microsoft XPS Document Writer" \
         "Remote Desktop Easy Print" "Send To Microsoft OneNote 2010 Driver" "TP Output Gateway" "TP Output Gateway PS"; do
  check "list --drivers names $d" has_line "$work/out" "$d"
done
check "list --drivers: seven drivers, none used" bash -c "[ \$(grep -c '^[^ ]' '$work/out') -eq 7 ] && [ \$(grep -cx '  printers: none' '$work/out') -eq 7 ]"
check "list --drivers: the vendor driver's details" has_line "$work/out" \
  '  x86: version 3; manufacturer HP; driver version 6.1.7600.16385; inf C:\Windows\System32\DriverStore\FileRepository\prnhp002.inf_x86_neutral_e6daa9c39ac001a3\prnhp002.inf'

# --- the queues of SOFTWARE, named or found beside SYSTEM.
run list --hive "$config/SYSTEM" --software-hive "$work/SOFTWARE"
check "--software-hive lists its queues" bash -c "[ \"\$(cat '$work/out')\" = \"\$(printf 'Colour Laser\nFax\nMoved Away')\" ]"
check "... without the hint" lacks "$work/err" "hint:"
cp "$work/SOFTWARE" "$config/software"
run list --hive "$config/SYSTEM"
check "a SOFTWARE beside SYSTEM (any case) is read" has_line "$work/out" "Colour Laser"
check "... and standard error says so in one line" \
  bash -c "[ \$(grep -c 'reading the printer queues of .*/config/software' '$work/err') -eq 1 ]"
run list --windows-dir "$windows"
check "--windows-dir alone lists the queues" has_line "$work/out" "Moved Away"
run list --drivers --json --windows-dir "$windows"
check "list --drivers --json: every driver with the queues using it" json "$work/out" '
  len(j) == 8 and
  [d["printers"] for d in j if d["driver"] == "Microsoft Shared Fax Driver"] == [[{"name": "Fax", "port": "SHRFAX:"}]] and
  [d["environments"] for d in j if d["driver"] == "Gone Driver"] == [[]] and
  [d["printers"] for d in j if d["driver"] == "Microsoft XPS Document Writer"] == [[]]'
run list --windows-dir "$work/nowhere-else"
check "a missing Windows folder is one error" rc_is 1
mkdir -p "$work/empty/System32"
run list --windows-dir "$work/empty"
check "a Windows folder without SYSTEM exits 1" rc_is 1
check "... naming the path" has "$work/err" "$work/empty/System32/config/SYSTEM is missing"

# --- inf: by queue and by driver, byte for byte the same.
run inf --printer "Colour Laser" --windows-dir "$windows"
check "inf --printer exits 0" rc_is 0
check "... says which architecture it took" has "$work/err" "note: packaging x86 drivers (PROCESSOR_ARCHITECTURE of the registry read is x86)"
cp "$work/out" "$work/by-printer.inf"
run inf --driver "hp color laserjet 2800 series ps" --windows-dir "$windows"
check "inf --driver exits 0" rc_is 0
check "inf --driver gives the INF of a queue using the driver" cmp -s "$work/out" "$work/by-printer.inf"
check "... with the driver key's spelling" has "$work/out" '"HP Color LaserJet 2800 Series PS" = KELInstSec'
check "... its 31 files, the one listed twice once" bash -c \
  "[ \$(tr -d '\r' <'$work/out' | sed -n '/^\[KELInstSec_Files\]/,/^\$/p' | grep -c .) -eq 32 ]"
run inf --driver "HP Color LaserJet 2800" --windows-dir "$windows"
check "an unknown driver exits 1" rc_is 1
check "... naming the environment" has "$work/err" 'No driver called "HP Color LaserJet 2800" is registered for Windows NT x86'
run inf --driver "Microsoft XPS Document Writer" --windows-dir "$windows" --arch x64
check "a driver of another architecture exits 1" rc_is 1
check "... with the --arch to add" has "$work/err" "hint: registered for x86: add --arch x86"
run inf --printer "Moved Away" --windows-dir "$windows"
check "a queue whose driver is gone keeps its error" has "$work/err" "Unable read MULTI_SZ value"

# --- the whole rescue in one option.
run generate --all --windows-dir "$windows" --out "$work/rescue"
check "generate --all --windows-dir: a queue's driver is gone (exit 1)" rc_is 1
check "index.json: every registered driver, and the queues using each" json "$work/rescue/index.json" '
  j["arch"] == "x86" and len(j["drivers"]) == 8 and
  sorted(d["driver"] for d in j["drivers"]) == sorted(["HP Color LaserJet 2800 Series PS",
     "microsoft shared fax driver", "Gone Driver", "Microsoft XPS Document Writer",
     "Remote Desktop Easy Print", "Send To Microsoft OneNote 2010 Driver", "TP Output Gateway",
     "TP Output Gateway PS"]) and
  [d["printers"] for d in j["drivers"] if d["driver"] == "HP Color LaserJet 2800 Series PS"] == [["Colour Laser"]] and
  [d["status"] for d in j["drivers"] if d["driver"] == "Gone Driver"] == ["failed"] and
  [p["folder"] for p in j["printers"]] == ["HP Color LaserJet 2800 Series PS", "microsoft shared fax driver", "Gone Driver"] and
  [d["printers"] for d in j["drivers"] if d["driver"] == "TP Output Gateway"] == [[]]'
check "the vendor driver's files are copied" bash -c "[ -f '$work/rescue/HP Color LaserJet 2800 Series PS/PSCRIPT5.DLL' ]"
check "a driver without a queue has its INF" has "$work/rescue/TP Output Gateway/vormlan.inf" '"TP Output Gateway" = KELInstSec'
check "summary.txt names a driver without a queue" has "$work/rescue/summary.txt" 'driver "Remote Desktop Easy Print" (no printer) -> Remote Desktop Easy Print: files missing'
check "nothing was written to the disk's hive" bash -c "[ \"\$(sha256sum '$config/SYSTEM')\" = '$system_sum' ]"

run generate --all --windows-dir "$windows" --out "$work/rescue" --arch x64
check "a second --all of another architecture into the same folder is refused" rc_is 1
check "... with a hint" has "$work/err" "hint: give --out a new folder"
check "... and the first index stays" json "$work/rescue/index.json" 'j["arch"] == "x86"'

# --- nothing written into the disk read, nor through a link in --out.
run generate --all --windows-dir "$windows" --out "$windows/System32/rescue"
check "--out inside the Windows directory is refused" rc_is 1
check "... before anything is written" bash -c "[ ! -e '$windows/System32/rescue' ]"
check "... saying why" has "$work/err" "lies inside the Windows directory"
run generate --driver "TP Output Gateway" --windows-dir "$windows/system32/.." --out "$work/mnt"
check "--out holding the Windows directory is refused" rc_is 1
run generate --driver "TP Output Gateway" --windows-dir "$windows" --out "$work/mnt/Windows.old"
check "a sibling named like the Windows directory is no part of it" rc_is 3
mkdir -p "$work/links" "$work/elsewhere"
ln -s "$work/elsewhere" "$work/links/TP Output Gateway"
run generate --all --windows-dir "$windows" --out "$work/links"
check "a link named like a package folder fails that package" rc_is 1
check "... nothing is written through it" bash -c "[ -z \"\$(ls -A '$work/elsewhere')\" ]"
check "... saying so" has "$work/err" "is a link: generate --all writes only into folders it makes"
check "... and the others are packaged" bash -c "[ -f '$work/links/TP Output Gateway PS/vormlan.inf' ]"

# --- a hive that was not closed cleanly: said, logs named, read as it is.
dirty="$work/dirty"
mkdir -p "$dirty"
cp "$config/SYSTEM" "$dirty/SYSTEM"
printf 'log' >"$dirty/SYSTEM.LOG1"
python3 - "$dirty/SYSTEM" <<'PY'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    head = bytearray(f.read(512))
    head[8:12] = struct.pack("<I", struct.unpack("<I", head[4:8])[0] - 1)
    head[0x1FC:0x200] = struct.pack("<I", 0)
    s = 0
    for i in range(0, 0x1FC, 4):
        s ^= struct.unpack("<I", head[i:i + 4])[0]
    head[0x1FC:0x200] = struct.pack("<I", s)
    f.seek(0)
    f.write(head)
PY
dirty_sum=$(sha256sum "$dirty/SYSTEM")
run list --drivers --hive "$dirty/SYSTEM"
check "a dirty hive is read" rc_is 0
check "... its drivers listed" has_line "$work/out" "TP Output Gateway PS"
check "... and said to be not closed cleanly, naming its log" has "$work/err" "was not closed cleanly"
check "... naming its log" has "$work/err" "$dirty/SYSTEM.LOG1"
check "... leaving the hive and its folder as they were" bash -c \
  "[ \"\$(sha256sum '$dirty/SYSTEM')\" = '$dirty_sum' ] && [ \$(ls '$dirty' | wc -l) -eq 2 ]"

# --- two architectures, and the architecture of the system read.
x64="$work/x64"
mkdir -p "$x64/Windows/System32/config" "$x64/Windows/System32/spool/drivers/x64/3" "$x64/Windows/System32/spool/drivers/w32x86/3"
{ cat "$src/tests/data/cli/rescue.reg"; printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment]\r\n"PROCESSOR_ARCHITECTURE"="AMD64"\r\n'
  printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-4\\Class Four]\r\n"InfPath"="C:\\\\Windows\\\\INF\\\\ntprint4.inf"\r\n'; } >"$work/amd64.reg"
"$make_hive" --control-set 1 "$x64/Windows/System32/config/SYSTEM" "$work/amd64.reg" || exit 1
for f in Laser.GPD UNIDRV.DLL unidrvui.DLL Unidrv.hlp LASER-RES.dll shared.gpd FAX.gpd gappy.gpd; do
  echo "$f" >"$x64/Windows/System32/spool/drivers/x64/3/$f"
  echo "$f" >"$x64/Windows/System32/spool/drivers/w32x86/3/$f"
done
run inf --printer "Office Laser" --windows-dir "$x64/Windows"
check "PROCESSOR_ARCHITECTURE AMD64 packages x64" has "$work/out" "[Manufacturer]"
check "... decorated for it" has "$work/out" '[KEL.NTamd64]'
check "... and says so" has "$work/err" "note: packaging x64 drivers (PROCESSOR_ARCHITECTURE of the registry read is AMD64)"
run generate --all --windows-dir "$x64/Windows" --out "$work/both" --arch x64,x86
check "--arch x64,x86 exits 3 (a file is on no disk)" rc_is 3
check "each architecture in a folder of its own" bash -c \
  "[ -f '$work/both/x64/shared driver/vormlan.inf' ] && [ -f '$work/both/x86/shared driver/vormlan.inf' ] && [ -f '$work/both/x64/Laser X64/vormlan.inf' ] && [ ! -e '$work/both/x86/Laser X64' ]"
check "one index covers both" json "$work/both/index.json" '
  j["arch"] == ["x64", "x86"] and
  sorted((d["arch"], d["folder"]) for d in j["drivers"] if d["driver"].lower() == "shared driver") ==
    [("x64", "x64/shared driver"), ("x86", "x86/shared driver")] and
  [d["printers"] for d in j["drivers"] if d["folder"] == "x86/shared driver"] == [["Back Office", "Front Desk"]] and
  [p["arch"] for p in j["printers"] if p["printer"] == "Front Desk"] == ["x64", "x86"] and
  [p["arch"] for p in j["printers"] if p["printer"] == "Office Laser"] == ["x64"] and
  all(d["status"] != "failed" for d in j["drivers"]) and
  [(d["status"], d["arch"]) for d in j["drivers"] if d["driver"] == "Class Four"] == [("skipped", "x64")] and
  "--source store" in [d["skipped"] for d in j["drivers"] if d["driver"] == "Class Four"][0]'
check "summary.txt says why the version 4 driver was skipped" has "$work/both/summary.txt" \
  'driver "Class Four" (no printer) -> x64/Class Four: skipped: a version 4 driver'
run generate --all --windows-dir "$x64/Windows" --out "$work/all" --arch all --json
check "--arch all takes every environment that registers drivers" json "$work/out" 'j["arch"] == ["x86", "x64"]'
run generate --all --windows-dir "$x64/Windows" --out "$work/one" --arch x64,bogus
check "an unknown architecture in the list is a usage error" rc_is 2
run inf --printer "Office Laser" --windows-dir "$x64/Windows" --arch x64,x86
check "inf takes one architecture" rc_is 2

# --- exports: SYSTEM and SOFTWARE given as two files.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\Exported]\r\n"Driver"="EXP.DLL"\r\n"Dependent Files"=hex(7):00,00\r\n' >"$work/system.reg"
cp "$src/tests/data/cli/real-software.reg" "$work/software.reg"
printf '\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\Exported Queue]\r\n"Printer Driver"="exported"\r\n' >>"$work/software.reg"
run inf --printer "Exported Queue" --registry "$work/system.reg" --registry "$work/software.reg"
check "--registry twice: the queue of one, the driver of the other" has "$work/out" '"exported" = KELInstSec'

finish
