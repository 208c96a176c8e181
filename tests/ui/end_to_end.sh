#!/usr/bin/env bash
# The real vormlan.exe in a 64-bit Wine prefix of its own, driven from the
# keyboard as a person would: Alt+A, Alt+N, the queue, Alt+G, Alt+N in the
# folder chooser, the folder typed, Enter for OK, Yes and the final box. The
# packages it writes are then judged by "vormlan-cli check" and, for x64, by
# setupapi (setupapi-verdict of the x86_64 build).
#
# Queues: one whose driver only x64 registers, a version 4 driver of the
# driver store, one whose driver x86 and x64 both register (the x86 one is
# chosen in the window), one named in Cyrillic (packaged into a folder typed
# in Cyrillic), and one whose Cyrillic-named file is missing (packaged into a
# Cyrillic folder picked in the chooser's list with the mouse; the message
# naming the file is read back with WINDOW_TEXTS). Screenshots of page 2
# with and without the architecture choice, of that message, and of both
# pages at 144 DPI, go to SHOTS.
#
# Usage: end_to_end.sh SOURCE_DIR PREFIX BITS VORMLAN_EXE CLI_EXE VERDICT_EXE SHOTS WINDOW_TEXTS
#   BITS: 64 for the x86_64 build, 32 for the i686 build (run under WoW64;
#   skipped with exit 77 where the host cannot run 32-bit programs).
#   Run under xvfb-run.
set -u
src="$1"; prefix="$2"; bits="$3"; exe="$4"; cli="$5"; verdict="$6"; shots="$7"; texts="$8"

wine64=/usr/lib/wine/wine64
loader=$wine64
if [ "$bits" = 32 ]; then loader=/usr/lib/wine/wine; fi
if [ ! -x "$wine64" ] || ! "$loader" --version >/dev/null 2>&1; then
  echo "SKIPPED: this host cannot run $loader in a 64-bit prefix"
  exit 77
fi
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=/usr/lib/wine/wineserver

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINELOADER="$loader" WINESERVER="$server" LC_ALL=C.UTF-8
unset LANGUAGE WINEARCH
w64() { "$wine64" "$@"; }
run() { "$loader" "$@"; }
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

passed=0; failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }

# --- The prefix, made once: 64-bit, fonts, frames drawn by Wine (there is
# no window manager), the queues and their drivers.
if [ ! -f "$prefix/system.reg" ]; then
  echo "Creating the 64-bit prefix $prefix ..."
  WINEARCH=win64 w64 wineboot -i >/dev/null 2>&1
  "$server" -w
fi
if ! grep -qx '#arch=win64' "$prefix/system.reg"; then
  echo "FAILED: $prefix is not a 64-bit prefix"
  exit 1
fi
windir="$prefix/drive_c/windows"
if [ -d /usr/share/wine/fonts ]; then
  mkdir -p "$windir/Fonts"
  cp -n /usr/share/wine/fonts/* "$windir/Fonts/" 2>/dev/null || true
fi

drivers="HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print"
x64key="$drivers\\Environments\\Windows x64\\Drivers"
x86key="$drivers\\Environments\\Windows NT x86\\Drivers"
storefolder='C:\\Windows\\System32\\DriverStore\\FileRepository\\storelaser.inf_amd64_5e6f7a8b'
dpi_reg() {
  printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$1"
  printf '[HKEY_CURRENT_CONFIG\\Software\\Fonts]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$1"
}
# A UTF-16 export, so that the Cyrillic names arrive as they are.
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n\r\n'
  dpi_reg 96
  driver() {  # key, data file, dependent file, [InfPath]
    printf '[%s]\r\n"Data File"="%s"\r\n"Driver"="unidrv.dll"\r\n' "$1" "$2"
    printf '"Configuration File"="unidrvui.dll"\r\n"Help File"="unidrv.hlp"\r\n"Monitor"=""\r\n'
    printf '"Dependent Files"=hex(7):%s00,00,00,00\r\n' \
      "$(printf '%s' "$3" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//')"
    [ -n "${4:-}" ] && printf '"InfPath"="%s"\r\n' "$4"
    printf '\r\n'
  }
  queue() { printf '[%s\\Printers\\%s]\r\n"Name"="%s"\r\n"Printer Driver"="%s"\r\n\r\n' \
    "$drivers" "$1" "$1" "$2"; }
  queue "Arch Laser" "Arch PCL Driver"
  driver "$x64key\\Version-3\\Arch PCL Driver" archpcl.gpd archres.dll
  queue "Store Laser" "Store Laser Driver"
  driver "$x64key\\Version-4\\Store Laser Driver" storelaser.gpd storeres.dll \
    "$storefolder\\\\storelaser.inf"
  queue "Twin Laser" "Twin PCL Driver"
  driver "$x64key\\Version-3\\Twin PCL Driver" twinpcl.gpd twinres.dll
  driver "$x86key\\Version-3\\Twin PCL Driver" twinpcl.gpd twinres.dll
  queue "Лазерный принтер" "Лазерный драйвер PCL"
  driver "$x64key\\Version-3\\Лазерный драйвер PCL" cyrpcl.gpd cyrres.dll
  queue "Ящичный принтер" "Ящичный драйвер PCL"
  driver "$x64key\\Version-3\\Ящичный драйвер PCL" cyrpcl.gpd отчёт.dll
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$prefix/drive_c/window-e2e.reg"
w64 regedit /s 'C:\window-e2e.reg'

# Each store's files say which store they come from.
place() {  # store name, folder, files...
  local name="$1" dir="$2"; shift 2
  mkdir -p "$dir"
  for f in "$@"; do printf '%s %s\r\n' "$name" "$f" >"$dir/$f"; done
}
common=(unidrv.dll unidrvui.dll unidrv.hlp)
place x64 "$windir/system32/spool/drivers/x64/3" "${common[@]}" archpcl.gpd archres.dll \
  twinpcl.gpd twinres.dll cyrpcl.gpd cyrres.dll
place w32x86 "$windir/system32/spool/drivers/w32x86/3" "${common[@]}" archpcl.gpd archres.dll \
  twinpcl.gpd twinres.dll
store="$windir/system32/DriverStore/FileRepository/storelaser.inf_amd64_5e6f7a8b"
place store "$store" storelaser.gpd storeres.dll storelaser.cat
sed 's/$/\r/' >"$store/storelaser.inf" <<'EOF'
[Version]
Signature="$Windows NT$"
Class=Printer
ClassGUID={4d36e979-e325-11ce-bfc1-08002be10318}
Provider=%Store%
CatalogFile=storelaser.cat

[Manufacturer]
%Store%=Store,NTamd64

[Store.NTamd64]
"Store Laser Driver" = StoreInst, STORE_LASER

[StoreInst]
CopyFiles=StoreFiles

[StoreFiles]
storelaser.gpd
storeres.dll

[SourceDisksNames]
1 = %Disk%

[SourceDisksFiles]
storelaser.gpd = 1
storeres.dll = 1

[DestinationDirs]
DefaultDestDir=66000

[Strings]
Store="Store Printers"
Disk="Store disk"
EOF
# The desktop of the seeding may have no display: let it end first.
"$server" -w

mkdir -p "$shots"
out="$prefix/drive_c/out"
rm -rf "$out"

# --- The window, driven from the keyboard.
wid=""
start() {
  run "$exe" &
  pid=$!
  wid=""
  for _ in $(seq 1 80); do
    wid=$(xdotool search --name '^Vormlan$' 2>/dev/null | head -1)
    [ -n "$wid" ] && break
    sleep 0.5
  done
  [ -n "$wid" ] || return 1
  sleep 1.5
  xdotool windowfocus "$wid" 2>/dev/null
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.6; }
shoot() {  # file: the window alone
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  import -window root -crop "$((WIDTH + 4))x$((HEIGHT + 4))+$((X - 2))+$((Y - 2))" +repage "$1"
}
# Waits for a window titled $1 (a box or the chooser) and gives it the focus.
await() {
  local box=""
  for _ in $(seq 1 40); do
    box=$(xdotool search --name "^$1\$" 2>/dev/null | tail -1)
    [ -n "$box" ] && [ "$box" != "$wid" ] && break
    box=""
    sleep 0.5
  done
  [ -n "$box" ] || return 1
  xdotool windowfocus "$box" 2>/dev/null
  sleep 0.5
}
# The texts of the dialog titled $1 and its controls: "id left top width
# height text" a line.
texts_of() { w64 "$texts" "$1" '#32770' 2>/dev/null | tr -d '\r'; }
finish() {  # ends the program through Exit and waits for it
  key alt+e
  for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$pid" 2>/dev/null; then kill "$pid"; wait "$pid" 2>/dev/null; return 1; fi
  wait "$pid"
}
# Packages one queue: the keys that select it in the list (and choose the
# architecture), then Generate into C:\out\FOLDER. SHOT: page 2 before
# Generate is pressed.
package() {  # folder, shot ("" for none), keys...
  local folder="$1" shot="$2"; shift 2
  start || { fail "$folder: no window titled Vormlan appeared"; return; }
  key alt+a
  key alt+n
  # Exit, Back, then the printer list in tab order.
  key Tab Tab
  key "$@"
  [ -n "$shot" ] && shoot "$shot"
  key alt+g
  if ! await "Select Directory"; then fail "$folder: no folder chooser"; finish; return; fi
  key alt+n
  # Keys beyond the keyboard's layout are typed through a remapped key that
  # the window may miss: the name box is read back and typed again if so.
  local typed="C:\\out\\$folder" attempt
  for attempt in 1 2 3; do
    xdotool type --delay 80 "$typed"
    sleep 0.5
    [ "$(texts_of "Select Directory" | awk '$1 == 202' | cut -d' ' -f6-)" = "$typed" ] && break
    key Home shift+End
  done
  key Return
  await Confirm && key Return
  await Vormlan && key Return
  finish || fail "$folder: the program did not end after Exit"
}
files_of() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
from_store() {  # folder, store name: every file but the INF came from that store
  local f
  for f in "$1"/*; do
    case "$f" in *.inf) continue ;; esac
    head -c 64 "$f" | grep -q "^$2 " || return 1
  done
}
judge() {  # folder, arch, with setupapi (yes/no), check's other options...
  local dir; dir=$(winpath "$1")
  if w64 "$cli" check --arch "$2" "${@:4}" "$dir" >"$1.check" 2>&1; then
    pass "$(basename "$1"): vormlan-cli check --arch $2 accepts it"
  else
    fail "$(basename "$1"): vormlan-cli check --arch $2 refuses it"; sed 's/^/  /' "$1.check"
  fi
  # setupapi-verdict judges for its own platform: NTamd64 in the x86_64 build only.
  [ "$3" = yes ] && [ "$bits" = 64 ] || return 0
  if w64 "$verdict" "$dir" >"$1.setupapi" 2>&1; then
    pass "$(basename "$1"): setupapi accepts it for NTamd64"
  else
    fail "$(basename "$1"): setupapi refuses it"; sed 's/^/  /' "$1.setupapi"
  fi
}
expect_files() {  # folder, expected listing
  local got; got=$(files_of "$1" 2>/dev/null)
  if [ "$got" = "$2" ]; then pass "$(basename "$1"): holds $2"
  else fail "$(basename "$1"): holds '$got', not '$2'"; fi
}

# A Cyrillic file name is missing from the store: the driver is packaged into
# "C:\out\Архив", reached in the chooser's list (drive C:, then "out" and
# "Архив" double-clicked), and the message names the file as itself.
mkdir -p "$out/Архив"
if start; then
  key alt+a
  key alt+n
  key Tab Tab Down Down Down Down Down
  key alt+g
  if await "Select Directory"; then
    key alt+r
    key c
    pick() {  # row: double-click that row of the folder list (rows are 16 pixels high)
      local list
      list=$(texts_of "Select Directory" | awk '$1 == 204 {print $2, $3}')
      [ -n "$list" ] || return 1
      set -- "$1" $list
      xdotool mousemove $(($2 + 40)) $(($3 + 16 * $1 + 8)) click --repeat 2 --delay 80 1
      sleep 0.8
    }
    pick 1 && pick 2
    if texts_of "Select Directory" | awk '$1 == 202' | grep -q ' C:\\out\\Архив$'; then
      pass "chooser: C:\\out\\Архив picked from the list"
    else
      fail "chooser: the list did not lead to C:\\out\\Архив"
      texts_of "Select Directory" | sed 's/^/  /'
    fi
    key Return
    if await Vormlan; then
      if texts_of Vormlan | grep -q 'отчёт.dll$'; then
        pass "message: names the missing отчёт.dll as itself"
      else
        fail "message: does not name отчёт.dll"; texts_of Vormlan | sed 's/^/  /'
      fi
      box=$(xdotool search --name '^Vormlan$' | tail -1)
      eval "$(xdotool getwindowgeometry --shell "$box")"
      import -window root -crop "$((WIDTH + 4))x$((HEIGHT + 4))+$((X - 2))+$((Y - 2))" +repage \
        "$shots/vormlan-message-cyrillic.png"
      key Return
    else
      fail "message: no box after the chooser"
    fi
  else
    fail "chooser: not shown"
  fi
  finish || fail "Архив: the program did not end after Exit"
else
  fail "Архив: no window"
fi
expect_files "$out/Архив" "cyrpcl.gpd unidrv.dll unidrv.hlp unidrvui.dll vormlan.inf "

# A driver registered for x64 only: the x64 store's files, an INF for NTamd64.
package arch "$shots/vormlan-generate-one-arch.png" a
expect_files "$out/arch" "archpcl.gpd archres.dll unidrv.dll unidrv.hlp unidrvui.dll vormlan.inf "
if from_store "$out/arch" x64 && grep -q 'NTamd64' "$out/arch/vormlan.inf"; then
  pass "arch: x64 store files, models for NTamd64"
else
  fail "arch: not the x64 store's package"
fi
judge "$out/arch" x64 yes

# A version 4 driver: its driver-store package as it stands.
package store "" s
expect_files "$out/store" "storelaser.cat storelaser.gpd storelaser.inf storeres.dll "
if cmp -s "$store/storelaser.inf" "$out/store/storelaser.inf"; then
  pass "store: the store's INF copied as it is"
else
  fail "store: the INF differs from the store's"
fi
# The store's catalog here is a placeholder, which check, reading catalogs,
# refuses: the package is judged without it.
judge "$out/store" x64 yes --no-catalog

# x86 and x64 both registered: x64 is the default, x86 is chosen with the
# keyboard (Alt+A reaches the drop-down, Up picks x86).
package twin "$shots/vormlan-generate-choice.png" t alt+a Up
expect_files "$out/twin" "twinpcl.gpd twinres.dll unidrv.dll unidrv.hlp unidrvui.dll vormlan.inf "
if from_store "$out/twin" w32x86 && ! grep -q 'NTamd64' "$out/twin/vormlan.inf"; then
  pass "twin: the x86 package was written, as chosen"
else
  fail "twin: not the x86 package"
fi
judge "$out/twin" x86 no

# A queue and driver named in Cyrillic: listed as themselves (the fourth
# line: the registry keeps the queues in order of their names), packaged
# with a UTF-16 INF.
# The folder is typed in Cyrillic.
package кириллица "$shots/vormlan-generate-cyrillic.png" Down Down Down Down
cyr="$out/кириллица"
expect_files "$cyr" "cyrpcl.gpd cyrres.dll unidrv.dll unidrv.hlp unidrvui.dll vormlan.inf "
if [ "$(head -c 2 "$cyr/vormlan.inf" 2>/dev/null | od -An -tx1 | tr -d ' ')" = fffe ] &&
  iconv -f UTF-16 -t UTF-8 "$cyr/vormlan.inf" | grep -q 'Лазерный драйвер PCL'; then
  pass "кириллица: a UTF-16 INF naming the driver as it is"
else
  fail "кириллица: no UTF-16 INF naming the driver"
fi
judge "$cyr" x64 yes

# --- 144 DPI: both pages, and the window grown by half.
{ printf 'REGEDIT4\r\n\r\n'; dpi_reg 144; } >"$prefix/drive_c/dpi.reg"
w64 regedit /s 'C:\dpi.reg'
"$server" -w
if start; then
  shoot "$shots/vormlan-about-144dpi.png"
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  if [ "$WIDTH" -ge 760 ] && [ "$HEIGHT" -ge 505 ]; then
    pass "144 DPI: the window is ${WIDTH}x${HEIGHT}"
  else
    fail "144 DPI: the window is ${WIDTH}x${HEIGHT}, not grown by half"
  fi
  key alt+a
  key alt+n
  key Tab Tab t
  shoot "$shots/vormlan-generate-144dpi.png"
  finish || fail "144 DPI: the program did not end after Exit"
else
  fail "144 DPI: no window"
fi
{ printf 'REGEDIT4\r\n\r\n'; dpi_reg 96; } >"$prefix/drive_c/dpi.reg"
w64 regedit /s 'C:\dpi.reg'
"$server" -w

echo "$passed passed, $failed failed; screenshots in $shots"
[ "$failed" -eq 0 ]
