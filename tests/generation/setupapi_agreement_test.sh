#!/usr/bin/env bash
# Holds "vormlan-cli check" against setupapi: both judge the same package
# folders under Wine, for the architecture Wine runs the programs as, and
# must give the verdict each folder is known to deserve.
# Usage: setupapi_agreement_test.sh SOURCE_DIR ARCH WINE_RUN CLI_EXE VERDICT_EXE
#   ARCH: x86 or x64, the architecture of this build's programs.
set -u
src="$1"; arch="$2"; wine_run="$3"; cli="$4"; verdict="$5"
golden="$src/tests/data/cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0; failed=0

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
crlf() { sed 's/$/\r/'; }
touch_all() {  # folder, files below it
  local dir="$1"; shift
  for f in "$@"; do mkdir -p "$dir/$(dirname "$f")"; echo "$f" >"$dir/$f"; done
}

# case NAME VERDICT_X86 VERDICT_X64: the folder $work/NAME, already written,
# must pass or fail for both judges.
judge() {
  local name="$1" expect
  if [ "$arch" = x64 ]; then expect="$3"; else expect="$2"; fi
  local dir; dir=$(winpath "$work/$name")
  "$wine_run" "$cli" check --no-catalog --arch "$arch" "$dir" >"$work/$name.cli" 2>&1
  local cli_rc=$?
  "$wine_run" "$verdict" "$dir" >"$work/$name.setupapi" 2>&1
  local api_rc=$?
  local want=0; [ "$expect" = fail ] && want=1
  if [ "$cli_rc" -eq "$want" ] && [ "$api_rc" -eq "$want" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name ($arch) should $expect: check exits $cli_rc, setupapi-verdict $api_rc"
    sed 's/^/  check: /' "$work/$name.cli"
    sed 's/^/  setupapi: /' "$work/$name.setupapi"
  fi
}

# --- Packages the program composes (x86 only: their models are undecorated).
composed_files=(three.gpd unidrv.dll UNIDRVUI.DLL unidrv.hlp unires.dll three-res.dll pjlmon.dll)
composed() {  # name, golden INF, files...
  local name="$1" inf="$2"; shift 2
  mkdir -p "$work/$name"
  cp "$golden/$inf" "$work/$name/vormlan.inf"
  touch_all "$work/$name" "$@"
}
composed composed "laser-three.inf" "${composed_files[@]}"
judge composed pass fail
composed composed-other-case "laser-three.inf" THREE.GPD Unidrv.Dll unidrvui.dll unidrv.hlp \
  UNIRES.DLL three-res.dll PJLMON.dll
judge composed-other-case pass fail
composed composed-missing-file "laser-three.inf" "${composed_files[@]:1}"
judge composed-missing-file fail fail
composed composed-no-printer-key "missing-key.inf" "${composed_files[@]}"
judge composed-no-printer-key fail fail
mkdir -p "$work/composed-junk"
{ printf 'junk before the first section\r\n'; cat "$golden/laser-three.inf"; } \
  >"$work/composed-junk/vormlan.inf"
touch_all "$work/composed-junk" "${composed_files[@]}"
judge composed-junk fail fail

# --- A hand-written package for x86 and x64, files in subfolders as a driver
# store keeps them.
kel_inf() {
  crlf <<'EOF'
; Kel laser for x86 and x64
[Version]
Signature="$Windows NT$"
Class=Printer
ClassGUID={4d36e979-e325-11ce-bfc1-08002be10318}
Provider=%Kel%
CatalogFile.NTx86=kel32.cat
CatalogFile.NTamd64=kel64.cat

[Manufacturer]
%Kel%=Kel,NTx86,NTamd64

[Kel.NTx86]
"Kel Laser" = KelInst, KEL_LASER

[Kel.NTamd64]
"Kel Laser" = KelInst, KEL_LASER

[KelInst.NTx86]
CopyFiles=KelCommon,KelFiles32

[KelInst.NTamd64]
CopyFiles=KelCommon,\
          KelFiles64 ; the 64-bit driver

[KelCommon]
kel.gpd
"kel ui.dll"

[KelFiles32]
kel.dll,kel32.dll

[KelFiles64]
kel.dll,kel64.dll

[SourceDisksNames]
1 = %Disk%,,,""

[SourceDisksNames.amd64]
1 = %Disk%,,,\amd64

[SourceDisksFiles]
kel.gpd = 1
"kel ui.dll" = 1, common

[SourceDisksFiles.x86]
kel32.dll = 1, i386

[SourceDisksFiles.amd64]
kel64.dll = 1

[DestinationDirs]
DefaultDestDir=66000

[Strings]
Kel="Kel; Printers"
Disk="Kel disk"
EOF
}
kel_files=(kel.gpd "common/kel ui.dll" i386/KEL32.DLL kel32.cat
           amd64/kel.gpd "amd64/Common/kel ui.dll" amd64/kel64.dll KEL64.CAT)
kel() {  # name, sed script applied to the INF, files to leave out...
  local name="$1" edit="$2"; shift 2
  mkdir -p "$work/$name"
  kel_inf | sed "$edit" >"$work/$name/kel.inf"
  local f skip
  for f in "${kel_files[@]}"; do
    skip=0
    for s in "$@"; do [ "$f" = "$s" ] && skip=1; done
    [ $skip -eq 0 ] && touch_all "$work/$name" "$f"
  done
}
kel kel ''
judge kel pass pass
mkdir -p "$work/kel-utf16"
kel_files_copy() { for f in "${kel_files[@]}"; do touch_all "$work/$1" "$f"; done; }
{ printf '\xff\xfe'; kel_inf | iconv -f UTF-8 -t UTF-16LE; } >"$work/kel-utf16/kel.inf"
kel_files_copy kel-utf16
judge kel-utf16 pass pass
kel kel-junk-with-strings '1s/^/junk /'
judge kel-junk-with-strings pass pass
kel kel-no-x86-driver '' i386/KEL32.DLL
judge kel-no-x86-driver fail pass
kel kel-no-x64-driver '' amd64/kel64.dll
judge kel-no-x64-driver pass fail
kel kel-no-x64-catalog '' KEL64.CAT
judge kel-no-x64-catalog pass fail
kel kel-no-destination-dirs '/^\[DestinationDirs\]/,/^DefaultDestDir/d'
judge kel-no-destination-dirs fail fail
kel kel-wrong-class 's/^Class=Printer/Class=Net/'
judge kel-wrong-class fail fail
kel kel-wrong-guid 's/^ClassGUID={4d36e979/ClassGUID={4d36e972/'
judge kel-wrong-guid fail fail
kel kel-wrong-signature 's/^Signature=.*/Signature="$Other$"/'
judge kel-wrong-signature fail fail
kel kel-x64-only 's/^%Kel%=Kel,NTx86,NTamd64/%Kel%=Kel,NTamd64/'
judge kel-x64-only fail pass
kel kel-undecorated 's/^%Kel%=Kel,NTx86,NTamd64/%Kel%=Kel/; s/^\[Kel.NTx86\]/[Kel]/'
judge kel-undecorated pass fail
kel kel-no-models-section 's/^\[Kel.NTamd64\]/[Other]/; s/^\[Kel.NTx86\]/[Other2]/'
judge kel-no-models-section fail fail
kel kel-no-files-section 's/^\[KelFiles64\]/[Other]/'
judge kel-no-files-section pass fail
kel kel-unknown-disk 's/^kel32.dll = 1, i386/kel32.dll = 2, i386/'
judge kel-unknown-disk fail pass

mkdir -p "$work/empty"
judge empty fail fail

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
