#!/usr/bin/env bash
# Runs Vormlan on its bundled demo (demo/demo.reg and a generated tree of
# placeholder driver files). With a display it starts the Windows program
# under Wine; without one (or with --cli) it runs the command-line demo.
# The commands it shows can be pasted as they stand, from the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "Checking the dependencies (scripts/install-deps.sh) ..."
bash scripts/install-deps.sh >/dev/null

if [ "${1:-}" != "--cli" ] && [ -n "${DISPLAY:-}" ] && [ -f scripts/run-gui.sh ]; then
  exec bash scripts/run-gui.sh
fi
if [ "${1:-}" != "--cli" ]; then
  echo "No display: running the command-line demo instead."
fi

cli=build/linux/cli/vormlan-cli
if [ ! -x "$cli" ]; then
  echo "Building vormlan-cli (a few minutes on a fresh checkout) ..."
fi
cmake --preset linux >/dev/null
cmake --build --preset linux --target vormlan-cli

demo=build/demo
rm -rf "$demo/windows" "$demo/out"
sh scripts/make-demo-files.sh "$demo/windows"

# One word of a command as a shell reads it back: quoted where needed.
quote() {
  if [[ "$1" =~ ^[A-Za-z0-9_./:=@%+,-]+$ ]]; then
    printf '%s' "$1"
  else
    printf "'%s'" "${1//\'/\'\\\'\'}"
  fi
}
show() {
  echo
  printf '$'
  for word in "$@"; do printf ' %s' "$(quote "$word")"; done
  echo
}
run() {
  show "$cli" "$@"
  local status=0
  "$cli" "$@" || status=$?
  [ "$status" -eq 0 ] || echo "(exit status $status)"
}

run list --registry demo/demo.reg
run list --drivers --registry demo/demo.reg
run generate --printer "Vormlan Demo Laser" --registry demo/demo.reg \
  --windows-dir "$demo/windows" --out "$demo/out/laser"
run generate --printer "Vormlan Demo Inkjet" --registry demo/demo.reg \
  --windows-dir "$demo/windows" --out "$demo/out/inkjet"
run generate --printer "Vormlan Demo Laser" --arch x64 --registry demo/demo.reg \
  --windows-dir "$demo/windows" --out "$demo/out/laser-x64"
run check "$demo/out/laser-x64" --arch x64
show ls "$demo/out/laser"
ls "$demo/out/laser"
show cat "$demo/out/laser/vormlan.inf"
tr -d '\r' <"$demo/out/laser/vormlan.inf"
