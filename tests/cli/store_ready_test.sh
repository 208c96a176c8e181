#!/usr/bin/env bash
# End-to-end tests of generate --store-ready: the real disk's vendor
# PostScript driver with its own print processor, a driver with color
# profiles, registry values that must not reach the INF, the package check
# of what was written, and the bytes of packages made without the option.
# Usage: store_ready_test.sh SOURCE_DIR CLI REAL_HIVES_DIR
set -u
src="$1"; cli="$2"; real="$3"
. "$src/tests/cli/e2e_lib.sh"
fixture="$src/tests/data/cli/store-ready.reg"

# section FILE HEADER: the lines of one section of an INF, CR removed.
section() { tr -d '\r' <"$1" | sed -n "/^$(printf '%s' "$2" | sed 's/[][\.]/\\&/g')\$/,/^\$/p" | sed '1d;/^$/d'; }
export -f section
# check_passes DIR [ARCH]: check passes, or finds only the catalog missing
# while no catalog is written beside the INF.
check_passes() {
  "$cli" check "$1" --arch "${2:-x86}" --json >"$work/check.json" 2>&1
  [ -e "$1/vormlan.cat" ] && json "$work/check.json" 'j["ok"]' && return 0
  json "$work/check.json" 'all("vormlan.cat" in p["problem"] for p in j["problems"])'
}

# --- a driver with color profiles, from a registry export.
windows="$work/Windows"
store="$windows/System32/spool/drivers/w32x86/3"
x64store="$windows/System32/spool/drivers/x64/3"
color="$windows/System32/spool/drivers/color"
mkdir -p "$store" "$x64store" "$color"
for f in colour.gpd unidrv.dll unidrvui.dll unidrv.hlp colourres.dll; do
  echo "$f" >"$store/$f"; echo "$f" >"$x64store/$f"
done
echo "colour profile" >"$color/KELCOL.icm"
echo "grey profile" >"$color/kelgrey.icm"

run generate --printer Colour --registry "$fixture" --windows-dir "$windows" --out "$work/colour" --store-ready
check "store-ready with color profiles exits 0" rc_is 0
inf="$work/colour/vormlan.inf"
check "... the profiles are copied from the color folder" \
  bash -c "cmp -s '$color/KELCOL.icm' '$work/colour/kelcol.icm' && cmp -s '$color/kelgrey.icm' '$work/colour/KELGREY.ICM'"
check "... and copied by their own section, each once" \
  bash -c "[ \"\$(section '$inf' '[KELInstSec_ColorProfiles]' | tr '\n' ' ')\" = 'kelcol.icm KELGREY.ICM ' ]"
check "... to the color folder" has_line <(tr -d '\r' <"$inf") "KELInstSec_ColorProfiles=66003"
check "... the inbox print processor is not named" lacks "$inf" "PrintProcessor="
check "... not package-aware: no package section" lacks "$inf" "PrinterPackageInstallation"
check "... the date no calendar has gives way to the default" has_line <(tr -d '\r' <"$inf") "DriverVer=01/01/2000,2.1.0.7"
check "... and a note says so" has "$work/err" 'note: the registration'"'"'s DriverDate "02/30/2019" is no date'
check "... the manufacturer is the provider" has_line <(tr -d '\r' <"$inf") 'OEM="Kel"'
check "... every file listed once for x86" \
  bash -c "[ \"\$(section '$inf' '[SourceDisksFiles.x86]' | sort -f | tr '\n' ' ')\" = \"\$(printf '%s=1\n' colour.gpd colourres.dll kelcol.icm KELGREY.ICM unidrv.dll unidrv.hlp unidrvui.dll | sort -f | tr '\n' ' ')\" ]"
check "... a hint says how to install it" has "$work/err" "hint: to install it on Windows, run in its folder: pnputil /add-driver vormlan.inf /install"
check "check passes the package" check_passes "$work/colour"
run inf --printer Colour --registry "$fixture" --store-ready
check "inf --store-ready prints the INF generate wrote" cmp -s "$work/out" "$inf"
check "... with the same note" has "$work/err" 'note: the registration'"'"'s DriverDate "02/30/2019" is no date'

run generate --printer Colour --registry "$fixture" --windows-dir "$windows" --out "$work/colour64" --store-ready --arch x64 --json
check "store-ready for x64 exits 0" rc_is 0
check "... its source disks are decorated amd64" bash -c \
  "grep -qx '\[SourceDisksNames.amd64\]' <(tr -d '\r' <'$work/colour64/vormlan.inf') && grep -qx '\[SourceDisksFiles.amd64\]' <(tr -d '\r' <'$work/colour64/vormlan.inf')"
check "... the JSON lists the package's files, the INF first" json "$work/out" '
  j["storeReady"] and j["files"][0] == "vormlan.inf" and sorted(j["files"][1:], key=str.lower) ==
  sorted(["colour.gpd", "colourres.dll", "unidrv.dll", "unidrv.hlp", "unidrvui.dll", "kelcol.icm",
          "KELGREY.ICM"], key=str.lower) and len(j["notes"]) == 1'
check "... and no hint on standard error with --json" lacks "$work/err" "hint:"

rm "$color/kelgrey.icm"
run generate --printer Colour --registry "$fixture" --windows-dir "$windows" --out "$work/grey" --store-ready
check "a missing color profile exits 3" rc_is 3
check "... naming it" has "$work/out" "KELGREY.ICM"
check "... and where it was looked for" has "$work/err" "Drivers/Color/"
check "... and no install hint for an incomplete package" lacks "$work/err" "pnputil"
echo "grey profile" >"$color/kelgrey.icm"

run generate --printer Sly --registry "$fixture" --windows-dir "$windows" --out "$work/sly" --store-ready
check "a color profile naming a path is refused" rc_is 1
check "... naming the value" has "$work/err" "'ColorProfiles' of the driver \"Sly Driver\" names \"..\\..\\config\\SAM\""
check "... before anything is written" bash -c "[ ! -e '$work/sly' ]"

run generate --printer Stray --registry "$fixture" --windows-dir "$windows" --out "$work/stray" --store-ready
check "an unregistered print processor is left out" rc_is 0
check "... with a note" has "$work/err" 'note: the print processor "strayproc" is not registered'

# --- a whole rescue: every composed package made ready, one refusal
# failing only its own driver.
run generate --all --registry "$fixture" --windows-dir "$windows" --out "$work/rescue" --store-ready --source auto
check "generate --all --store-ready: one driver refused (exit 1)" rc_is 1
check "... the others are ready, the refused one failed" json "$work/rescue/index.json" '
  {d["driver"]: (d["status"], d.get("storeReady")) for d in j["drivers"]} == {
    "Colour Driver": ("done", True), "Sly Driver": ("failed", None), "Stray Driver": ("done", True)}'
check "... with its files in the index" json "$work/rescue/index.json" '
  [d["files"][0] for d in j["drivers"] if d["driver"] == "Colour Driver"] == ["vormlan.inf"]'
check "... composed with --source auto, the INF is the store-ready one" cmp -s "$work/rescue/Colour Driver/vormlan.inf" "$inf"
check "... and one hint says how to install a package" \
  bash -c "[ \$(grep -c 'hint: to install a package on Windows' '$work/err') -eq 1 ]"

# --- without the option, the bytes stay those of the composed INF.
run inf --printer Colour --registry "$fixture"
cp "$work/out" "$work/composed.inf"
run generate --printer Colour --registry "$fixture" --windows-dir "$windows" --out "$work/plain"
check "generate without --store-ready exits 0" rc_is 0
check "... its INF is the composed one, byte for byte" cmp -s "$work/plain/vormlan.inf" "$work/composed.inf"
check "... no color profile is copied" bash -c "[ ! -e '$work/plain/kelcol.icm' ]"
check "... the hint names Have Disk" has "$work/err" 'hint: to install it on Windows: Add Printer, "Have Disk"'
check "every composed line stays, in order, in the store-ready INF" python3 - "$work/composed.inf" "$inf" <<'PY'
import sys
plain = open(sys.argv[1], "rb").read().split(b"\r\n")
ready = iter(open(sys.argv[2], "rb").read().split(b"\r\n"))
sys.exit(0 if all(any(line == r for r in ready) for line in plain) else 1)
PY

# --- the real disk's vendor PostScript driver and its print processor.
if [ -f "$real/win7-x86/SYSTEM.xz" ]; then
  disk="$work/mnt/Windows"
  mkdir -p "$disk/system32/config" "$disk/system32/spool/DRIVERS/W32X86/3" "$disk/system32/spool/PRTPROCS/w32x86"
  xz -dc "$real/win7-x86/SYSTEM.xz" >"$disk/system32/config/SYSTEM" || { echo "xz failed"; exit 1; }
  hp="HP Color LaserJet 2800 Series PS"
  run inf --driver "$hp" --windows-dir "$disk"
  section "$work/out" "[KELInstSec_Files]" | while read -r f; do echo "$f bytes" >"$disk/system32/spool/DRIVERS/W32X86/3/$f"; done
  printf 'MZ processor' >"$disk/system32/spool/PRTPROCS/w32x86/hpzppWN7.dll"
  run generate --driver "$hp" --windows-dir "$disk" --out "$work/hp" --store-ready
  check "the vendor driver is staged ready (exit 0)" rc_is 0
  hpinf="$work/hp/vormlan.inf"
  check "... its print processor is named" has_line <(tr -d '\r' <"$hpinf") 'PrintProcessor="hpzppWN7,hpzppWN7.dll"'
  check "... copied by its own section" bash -c "[ \"\$(section '$hpinf' '[KELInstSec_PrintProcessor]')\" = hpzppWN7.dll ]"
  check "... to the print processor folder" has_line <(tr -d '\r' <"$hpinf") "KELInstSec_PrintProcessor=66001"
  check "... and is in the folder" cmp -s "$disk/system32/spool/PRTPROCS/w32x86/hpzppWN7.dll" "$work/hp/hpzppWN7.dll"
  check "... DriverVer is the registration's" has_line <(tr -d '\r' <"$hpinf") "DriverVer=06/21/2006,6.1.7600.16385"
  check "... the provider is HP" has_line <(tr -d '\r' <"$hpinf") 'OEM="HP"'
  check "... package-aware, with its core drivers" bash -c "[ \"\$(section '$hpinf' '[PrinterPackageInstallation.x86]' | tr '\n' ' ')\" = 'PackageAware=TRUE CoreDriverDependencies={D20EA372-DD35-4950-9ED8-A6335AFE79F0},{D20EA372-DD35-4950-9ED8-A6335AFE79F1},{D20EA372-DD35-4950-9ED8-A6335AFE79F2},{D20EA372-DD35-4950-9ED8-A6335AFE79F3} ' ]"
  check "... every file listed: the 31 of the driver and the processor" \
    bash -c "[ \$(section '$hpinf' '[SourceDisksFiles.x86]' | grep -c '=1\$') -eq 32 ]"
  check "check passes the vendor package" check_passes "$work/hp"

  rm "$disk/system32/spool/PRTPROCS/w32x86/hpzppWN7.dll"
  run generate --driver "$hp" --windows-dir "$disk" --out "$work/hp-noproc" --store-ready
  check "a missing print processor exits 3" rc_is 3
  check "... naming it" has "$work/out" "hpzppWN7.dll"
  check "... and the print processor folder" has "$work/err" "Prtprocs/w32x86"
fi

finish
