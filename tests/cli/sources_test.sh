#!/usr/bin/env bash
# End-to-end test of where the registry comes from and how far it reaches:
# --software-hive beside --windows-dir, a SOFTWARE hive given as --hive,
# hives reached through links (inside the Windows folder, or out of it into a
# sibling named like it), PROCESSOR_ARCHITECTURE in any letter case, and
# generate --all into the folder of another machine's rescue.
# Usage: sources_test.sh SOURCE_DIR CLI MAKE_TEST_HIVE
set -u
src="$1"; cli="$2"; make_hive="$3"
. "$src/tests/cli/e2e_lib.sh"

# A 64-bit disk: one driver in SYSTEM, its queue in SOFTWARE.
windows="$work/mnt/Windows"
config="$windows/System32/config"
mkdir -p "$config" "$windows/System32/spool/drivers/x64/3"
for f in lone.dll lone.gpd; do echo "$f" >"$windows/System32/spool/drivers/x64/3/$f"; done
driver='[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows x64\Drivers\Version-3'
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment]\r\n"PROCESSOR_ARCHITECTURE"="amd64"\r\n\r\n%s\\Lone Driver]\r\n"Driver"="lone.dll"\r\n"Data File"="lone.gpd"\r\n"Dependent Files"=hex(7):00\r\n' \
  "$driver" >"$work/system.reg"
queue() {  # queue NAME: a SOFTWARE export holding the queue NAME of Lone Driver
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\%s]\r\n"Printer Driver"="Lone Driver"\r\n' "$1"
}
queue "On Disk" >"$work/software.reg"
queue "Named" >"$work/other.reg"
{ "$make_hive" --control-set 1 "$config/SYSTEM" "$work/system.reg" &&
  "$make_hive" "$config/SOFTWARE" "$work/software.reg" 'HKEY_LOCAL_MACHINE\SOFTWARE' &&
  "$make_hive" "$work/other.hive" "$work/other.reg" 'HKEY_LOCAL_MACHINE\SOFTWARE'; } ||
  { echo "make-test-hive failed"; exit 1; }

run list --windows-dir "$windows"
check "--windows-dir reads the queues of its SOFTWARE" \
  bash -c "[ $rc -eq 0 ] && [ \"\$(cat '$work/out')\" = 'On Disk' ]"
run list --windows-dir "$windows" --software-hive "$work/other.hive"
check "--software-hive wins over the SOFTWARE of --windows-dir" \
  bash -c "[ $rc -eq 0 ] && [ \"\$(cat '$work/out')\" = Named ]"
run list --hive "$config/SOFTWARE"
check "a SOFTWARE hive given as --hive is not read again as its own neighbour" \
  bash -c "[ \"\$(cat '$work/out')\" = 'No printers.' ] && ! grep -q 'reading the printer queues' '$work/err'"

run inf --driver "Lone Driver" --windows-dir "$windows"
check "PROCESSOR_ARCHITECTURE in lower case names the same architecture" has "$work/err" \
  "note: packaging x64 drivers (PROCESSOR_ARCHITECTURE of the registry read is amd64)"
check "... and the INF is decorated for it" has "$work/out" '.NTamd64]'

# --- hives reached through links: read while the link stays inside the
# Windows folder, refused once it leads out, even into a sibling whose name
# starts like the folder's.
linked="$work/linked/Windows"
mkdir -p "$linked/System32/config" "$linked/Backup" "$work/linked/Windows.old"
cp "$config/SYSTEM" "$linked/System32/config/SYSTEM"
cp "$config/SOFTWARE" "$linked/Backup/SOFTWARE"
cp "$config/SOFTWARE" "$work/linked/Windows.old/SOFTWARE"
ln -s ../../Backup/SOFTWARE "$linked/System32/config/SOFTWARE"
run list --windows-dir "$linked"
check "a hive linked within the Windows folder is read" \
  bash -c "[ $rc -eq 0 ] && [ \"\$(cat '$work/out')\" = 'On Disk' ]"
ln -sfn "$work/linked/Windows.old/SOFTWARE" "$linked/System32/config/SOFTWARE"
run list --windows-dir "$linked"
check "a hive linked into a sibling named like the Windows folder is refused" \
  bash -c "[ $rc -eq 1 ] && grep -q 'config/SOFTWARE is a link that leads out of the Windows directory' '$work/err'"

# --- generate --all into the folder of another machine's rescue: the same
# architecture and source, other drivers.
run generate --all --windows-dir "$windows" --out "$work/rescue" --arch x64
check "a rescue is written" bash -c "[ $rc -eq 0 ] && [ -s '$work/rescue/Lone Driver/vormlan.inf' ]"
run generate --all --windows-dir "$windows" --out "$work/rescue" --arch x64
check "... and may be run again" rc_is 0
printf 'REGEDIT4\r\n\r\n%s\\Other Driver]\r\n"Driver"="lone.dll"\r\n"Dependent Files"=hex(7):00\r\n' \
  "$driver" >"$work/another.reg"
run generate --all --registry "$work/another.reg" --windows-dir "$windows" --out "$work/rescue" --arch x64
check "--all of another machine's drivers into it is refused (exit 1)" \
  bash -c "[ $rc -eq 1 ] && grep -q 'index of another rescue' '$work/err' && [ ! -e '$work/rescue/Other Driver' ]"

# --- --arch all: every architecture that registers drivers, x86, x64, arm64
# in that order, whatever order the registry lists its environments in.
arm='[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows ARM64\Drivers\Version-3'
printf 'REGEDIT4\r\n\r\n%s\\Lone Driver]\r\n"Driver"="lone.dll"\r\n"Dependent Files"=hex(7):00\r\n\r\n%s\\Lone Driver]\r\n"Driver"="lone.dll"\r\n"Dependent Files"=hex(7):00\r\n' \
  "$driver" "$arm" >"$work/two.reg"
run generate --all --registry "$work/two.reg" --windows-dir "$windows" --out "$work/two" --arch all --json
check "--arch all takes x64 before arm64, though the registry lists arm64 first" \
  json "$work/out" 'j["arch"] == ["x64", "arm64"]'

# --- a Printers key that cannot be read: said, naming it, the drivers
# packaged all the same, and generate --all exits 1.
mkdir -p "$work/damaged"
{ cat "$work/system.reg"; printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P]\r\n"Printer Driver"="Lone Driver"\r\n'; } >"$work/printers.reg"
"$make_hive" --control-set 1 "$work/damaged/SYSTEM" "$work/printers.reg" || { echo "make-test-hive failed"; exit 1; }
python3 - "$work/damaged/SYSTEM" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
at = data.find(b"Printers") - 0x50  # the key's cell; its subkey count at 0x18
assert data[at + 4:at + 6] == b"nk"
data[at + 0x18:at + 0x1C] = (2).to_bytes(4, "little")  # its list holds one
open(path, "wb").write(data)
PY
run generate --all --hive "$work/damaged/SYSTEM" --windows-dir "$windows" --out "$work/damaged-out" --arch x64
check "--all over an unreadable Printers key exits 1, naming the key" \
  bash -c "[ $rc -eq 1 ] && grep -q 'Printers' '$work/err'"
check "... and packages the drivers all the same" test -s "$work/damaged-out/Lone Driver/vormlan.inf"

finish
