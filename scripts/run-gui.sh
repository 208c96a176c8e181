#!/usr/bin/env bash
# Starts vormlan.exe under Wine in a private prefix (build/demo-prefix) that
# holds the demo: the printers of demo/demo.reg in the prefix's registry and
# placeholder driver files in its Windows directory. Tick the box, pick a
# printer, press Generate and choose a directory.
#
#   scripts/run-gui.sh                   start the program on $DISPLAY
#   scripts/run-gui.sh --screenshots DIR on a virtual display: take
#                                        DIR/vormlan-about.png and
#                                        DIR/vormlan-generate.png, then exit
#
# Without a display (and without --screenshots) it says so and runs the
# command-line demo instead. It runs the Windows build the host can run
# (scripts/host-windows-build.sh: build/win32 where the host runs 32-bit
# programs, else build/win64), through that build's wine-run wrapper;
# VORMLAN_WINDOWS_BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

shots=""
if [ "${1:-}" = "--screenshots" ]; then
  shots="$(realpath -m "${2:?--screenshots needs a folder}")"
fi

if [ -z "$shots" ] && [ -z "${DISPLAY:-}" ]; then
  echo "No display: running the command-line demo instead."
  exec bash scripts/demo.sh --cli
fi

bash scripts/install-deps.sh >/dev/null
preset="$(sh scripts/host-windows-build.sh)"
build="${VORMLAN_WINDOWS_BUILD:-build/$preset}"
if [ ! -f "$build/build.ninja" ]; then
  cmake --preset "$preset" -B "$build" >/dev/null
fi
if [ ! -f "$build/ui/vormlan.exe" ]; then
  echo "Building vormlan.exe ($preset; a few minutes on a fresh checkout) ..."
fi
cmake --build "$build" -j 2 --target vormlan
exe="$(realpath "$build/ui/vormlan.exe")"

# The build's wrapper starts its architecture's loader; the demo keeps a
# prefix of its own. A prefix has one architecture: the demo's is made anew
# when the build's differs.
run="$(realpath "$build/wine-run")"
arch="$(sed -n 's/^export WINEARCH=//p' "$run")"
export VORMLAN_WINEPREFIX="$PWD/build/demo-prefix"
WINEPREFIX="$VORMLAN_WINEPREFIX"
if [ -f "$WINEPREFIX/system.reg" ] && ! grep -qx "#arch=$arch" "$WINEPREFIX/system.reg"; then
  echo "The demo's Wine prefix is not $arch: making it anew."
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the demo's Wine prefix ($arch) in $WINEPREFIX ..."
  "$run" wineboot -i >/dev/null 2>&1 || true
fi
# Wine's own fonts (package fonts-wine): this Wine looks for them in the
# prefix, and the window's font is MS Sans Serif.
if [ -d /usr/share/wine/fonts ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
"$run" regedit /s demo/demo.reg
sh scripts/make-demo-files.sh "$WINEPREFIX/drive_c/windows"
# The desktop started while seeding has no display; let it end first.
"$run" --server -w

# Window frames: drawn by the window manager on a real display, by Wine
# itself on the virtual display of the screenshots (it has no manager).
decorated() {
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"=%s\n' "$1" \
    > "$WINEPREFIX/drive_c/decorated.reg"
  "$run" regedit /s 'C:\decorated.reg'
  "$run" --server -w
}

if [ -z "$shots" ]; then
  decorated -
  exec "$run" "$exe"
fi

mkdir -p "$shots"
decorated '"N"'
export run exe shots
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  set -eu
  "$run" "$exe" &
  pid=$!
  for i in $(seq 1 60); do
    wid=$(xdotool search --name "^Vormlan\$" | head -1 || true)
    [ -n "$wid" ] && break
    sleep 0.5
  done
  [ -n "$wid" ] || { echo "The window did not appear" >&2; kill $pid; exit 1; }
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  crop="$((WIDTH + 4))x$((HEIGHT + 4))+$((X - 2))+$((Y - 2))"
  shoot() { import -window root -crop "$crop" +repage "$1"; }
  shoot "$shots/vormlan-about.png"
  xdotool windowfocus "$wid" key alt+a
  sleep 0.5
  xdotool key alt+n
  sleep 1
  xdotool mousemove --window "$wid" 80 98 click 1
  sleep 0.5
  shoot "$shots/vormlan-generate.png"
  xdotool key alt+e
  wait $pid
'
echo "Screenshots in $shots"
