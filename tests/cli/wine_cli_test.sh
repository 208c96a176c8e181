#!/usr/bin/env bash
# vormlan-cli.exe on the prefix's own registry and Windows directory:
# drivers of another architecture laid out in the prefix's x64 store, the
# driver store's original package, names beyond the ANSI code page, and line
# ends on a Windows program's standard streams. Packages are judged by
# setupapi for the architecture the programs run as.
# Usage: wine_cli_test.sh ARCH WINE_RUN CLI_EXE VERDICT_EXE
#   ARCH: x86 or x64, the architecture of this build's programs.
set -u
arch="$1"; wine_run="$2"; cli="$3"; verdict="$4"
prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")
windows="$prefix/drive_c/windows"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
run() { "$wine_run" "$cli" "$@"; }
expect_rc() {  # WANT NAME: the exit status of the command just run
  local rc=$? ; [ "$rc" -eq "$1" ] || fail "$2: exit $rc, want $1"
}
contains() {  # FILE TEXT NAME
  grep -qF -- "$2" "$1" || { fail "$3: no '$2' in"; sed 's/^/  | /' "$1"; }
}
judge() {  # FOLDER NAME: setupapi must accept the package
  "$wine_run" "$verdict" "$(winpath "$1")" >"$work/verdict" 2>&1 ||
    { fail "$2: setupapi refuses the package"; sed 's/^/  | /' "$work/verdict"; }
}
place() { mkdir -p "$(dirname "$1")"; printf 'placeholder %s\r\n' "$(basename "$1")" >"$1"; }

# --- A driver registered for x64 only, its files in the prefix's x64\3 store
# (names on disk in another case than the registry's).
x64store="$windows/system32/spool/drivers/x64/3"
for f in archpcl.gpd unidrv.dll unidrvui.dll unidrv.hlp archres.dll; do place "$x64store/$f"; done

run generate --printer "Arch Laser" --arch x86 --out "$(winpath "$work/x86")" >"$work/out" 2>"$work/err"
expect_rc 1 "x64-only driver with --arch x86"
contains "$work/err" "hint: registered for x64: add --arch x64" "x64-only driver with --arch x86"
[ ! -e "$work/x86" ] || fail "x64-only driver with --arch x86: wrote $work/x86"

# Without --arch: the architecture Windows runs on (the prefix's).
run generate --printer "Arch Laser" --out "$(winpath "$work/native")" >"$work/out" 2>"$work/err"
if [ "$arch" = x64 ]; then
  expect_rc 0 "x64-only driver without --arch on 64-bit Windows"
  contains "$work/err" "note: packaging x64 drivers (the architecture Windows runs on)" "without --arch"
  contains "$work/native/vormlan.inf" "[KEL.NTamd64]" "without --arch on 64-bit Windows"
else
  expect_rc 1 "x64-only driver without --arch on 32-bit Windows"
  contains "$work/err" "hint: registered for x64: add --arch x64" "without --arch on 32-bit Windows"
  if grep -q "note:" "$work/err"; then fail "32-bit Windows: a note about the architecture"; fi
fi

run generate --printer "Arch Laser" --arch x64 --out "$(winpath "$work/x64")" >"$work/out" 2>&1
expect_rc 0 "generate --arch x64"
for f in archpcl.gpd unidrv.dll unidrvui.dll unidrv.hlp archres.dll; do
  [ -f "$work/x64/$f" ] || [ -f "$work/x64/${f^^}" ] || fail "generate --arch x64: $f not copied"
done
if [ "$arch" = x64 ]; then judge "$work/x64" "generate --arch x64"; fi

# The same driver made ready for the driver store: setupapi reads its
# source disk sections and finds every file they list. Where no catalog is
# written beside the INF, a placeholder stands for it (setupapi looks only
# for the file).
run generate --printer "Arch Laser" --arch x64 --store-ready --out "$(winpath "$work/x64ready")" >"$work/out" 2>"$work/err"
expect_rc 0 "generate --arch x64 --store-ready"
contains "$work/x64ready/vormlan.inf" "[SourceDisksFiles.amd64]" "generate --store-ready"
contains "$work/err" "pnputil /add-driver vormlan.inf /install" "generate --store-ready"
if [ "$arch" = x64 ]; then
  [ -e "$work/x64ready/vormlan.cat" ] || printf 'placeholder' >"$work/x64ready/vormlan.cat"
  judge "$work/x64ready" "generate --arch x64 --store-ready"
fi

# --- The driver store's original package, with a subfolder and its catalog.
case "$arch" in x64) storefolder=storelaser.inf_amd64_0f1e2d3c ;; *) storefolder=storelaser.inf_x86_0f1e2d3c ;; esac
pkg="$windows/system32/DriverStore/FileRepository/$storefolder"
rm -rf "$pkg"
mkdir -p "$pkg/i18n"
sed 's/$/\r/' >"$pkg/storelaser.inf" <<'INF'
[Version]
Signature="$Windows NT$"
Class=Printer
ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}
Provider=%Maker%
CatalogFile=storelaser.cat
DriverVer=01/02/2024,1.0.0.0

[Manufacturer]
%Maker%=Maker,NTamd64,NTx86

[Maker.NTamd64]
"Store Driver"=StoreInstall,StoreDriver

[Maker.NTx86]
"Store Driver"=StoreInstall,StoreDriver

[StoreInstall]
CopyFiles=StoreFiles
DataFile=store.gpd
DriverFile=unidrv.dll
ConfigFile=storeui.dll

[StoreFiles]
store.gpd
storeui.dll

[DestinationDirs]
DefaultDestDir=66000

[SourceDisksNames]
1=%Disk%,,,

[SourceDisksFiles]
store.gpd=1
storeui.dll=1

[Strings]
Maker="Store Maker"
Disk="Store Disk"
INF
for f in store.gpd storeui.dll storelaser.cat i18n/store-fr.ini; do place "$pkg/$f"; done

store_arch=$arch
run generate --printer "Store Laser" --arch "$store_arch" --source store \
  --out "$(winpath "$work/store")" >"$work/out" 2>&1
expect_rc 0 "generate --source store"
contains "$work/out" "signed package" "generate --source store"
for f in storelaser.inf store.gpd storeui.dll storelaser.cat i18n/store-fr.ini; do
  cmp -s "$pkg/$f" "$work/store/$f" || fail "generate --source store: $f not copied whole"
done
[ ! -e "$work/store/vormlan.inf" ] || fail "generate --source store wrote vormlan.inf"
judge "$work/store" "generate --source store"

# --- Names beyond the code page: listed and matched as themselves.
run list >"$work/list" 2>&1
expect_rc 0 "list"
contains "$work/list" "プリンタ" "list"
contains "$work/list" "Принтер" "list"
# On a console (Wine's, on a terminal) the names are written as themselves too.
if command -v script >/dev/null; then
  script -qc "'$wine_run' '$cli' list" /dev/null >"$work/console" 2>&1 </dev/null
  contains "$work/console" "プリンタ" "list on a console"
  contains "$work/console" "Принтер" "list on a console"
fi
run inf --printer "ダダダダ" --arch x86 >"$work/out" 2>&1
expect_rc 1 "inf for a printer that is not there (another printer is ????)"
run inf --printer "プリンタ" --arch x86 >"$work/out" 2>&1
expect_rc 0 "inf --printer プリンタ"
contains "$work/out" "Three Driver" "inf --printer プリンタ"

# A Cyrillic driver name: refused in the ANSI INF, written as UTF-16.
run generate --printer "Принтер" --arch "$arch" --out "$(winpath "$work/cyr-ansi")" >"$work/out" 2>&1
expect_rc 1 "Cyrillic driver in an ANSI INF"
contains "$work/out" "--inf-encoding utf-16" "Cyrillic driver in an ANSI INF"
[ ! -e "$work/cyr-ansi/vormlan.inf" ] || fail "Cyrillic driver in an ANSI INF: vormlan.inf written"
for f in cyr.gpd unidrv.dll unidrvui.dll; do
  place "$windows/system32/spool/drivers/w32x86/3/$f"
  place "$x64store/$f"
done
run generate --printer "Принтер" --arch "$arch" --inf-encoding utf-16 \
  --out "$(winpath "$work/cyr")" >"$work/out" 2>&1
expect_rc 0 "generate --inf-encoding utf-16"
[ "$(head -c 2 "$work/cyr/vormlan.inf" | od -An -tx1 | tr -d ' ')" = fffe ] ||
  fail "generate --inf-encoding utf-16: no byte-order mark"
judge "$work/cyr" "generate --inf-encoding utf-16"

# --- Paths in messages with Windows' separator only.
printf 'a file\r\n' >"$work/afile"
run generate --printer "Laser Three" --arch x86 --out "$(winpath "$work/afile")\\pkg" >"$work/out" 2>&1
expect_rc 1 "--out below a file"
contains "$work/out" "Cannot create directory \"$(winpath "$work/afile")\\pkg\": " "--out below a file"
if grep -q '/' "$work/out"; then fail "--out below a file: a path with '/'"; sed 's/^/  | /' "$work/out"; fi
run generate --printer "Arch Laser" --arch arm64 --out "$(winpath "$work/arm")" >"$work/out" 2>&1
expect_rc 1 "x64-only driver with --arch arm64"
contains "$work/out" "hint: registered for x64: add --arch x64" "x64-only driver with --arch arm64"

# --- One CR LF a line on both streams, never CR CR LF.
run inf --printer "Orphan" --arch x86 >"$work/out" 2>"$work/err"
expect_rc 1 "inf for a printer without a driver"
[ "$(wc -l <"$work/err")" -ge 2 ] || fail "a two-line error has fewer lines"
if grep -q $'\r\r' "$work/err"; then fail "CR CR LF on stderr"; fi
if grep -qv $'\r$' "$work/err"; then fail "a line of stderr without CR LF"; fi
run inf --printer "Laser Three" --arch x86 >"$work/out" 2>&1
if grep -q $'\r\r' "$work/out"; then fail "CR CR LF on stdout"; fi

# --- /? and -? ask for help, as Windows programs take them; as the value of
# an option /? stays a value.
for ask in "/?" "-?"; do
  run "$ask" >"$work/out" 2>"$work/err"
  expect_rc 0 "vormlan-cli $ask"
  contains "$work/out" "Usage: vormlan-cli [OPTIONS]" "vormlan-cli $ask"
  contains "$work/out" "/? after the program or a command shows its help" "vormlan-cli $ask"
  run list "$ask" >"$work/out" 2>"$work/err"
  expect_rc 0 "vormlan-cli list $ask"
  contains "$work/out" "Usage: vormlan-cli list [OPTIONS]" "vormlan-cli list $ask"
done
run inf --printer "/?" >"$work/out" 2>"$work/err"
expect_rc 1 "inf --printer /?"
contains "$work/err" 'hint: no printer named "/?"' "inf --printer /?"
run --bogus >"$work/out" 2>"$work/err"
expect_rc 2 "vormlan-cli --bogus"
contains "$work/err" "unknown option '--bogus'" "vormlan-cli --bogus"

# --- A JSON error's message ends its lines as Windows does.
run inf --printer "Nobody Here" --json >"$work/out" 2>"$work/err"
expect_rc 1 "inf --json of an unknown printer"
contains "$work/out" '\r\n' "inf --json of an unknown printer"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed ($arch)"
