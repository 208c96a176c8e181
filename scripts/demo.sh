#!/usr/bin/env bash
# Runs Vormlan on its bundled demo (demo/demo.reg and a generated tree of
# placeholder driver files). With a display it starts the Windows program
# under Wine; without one (or with --cli) it runs the command-line demo.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh >/dev/null

if [ "${1:-}" != "--cli" ] && [ -n "${DISPLAY:-}" ] && [ -f scripts/run-gui.sh ]; then
  exec bash scripts/run-gui.sh
fi
if [ "${1:-}" != "--cli" ]; then
  echo "No display: running the command-line demo instead."
fi

cmake --preset linux >/dev/null
cmake --build --preset linux --target vormlan-cli >/dev/null

cli=build/linux/cli/vormlan-cli
demo=build/demo
rm -rf "$demo/windows" "$demo/out"
sh scripts/make-demo-files.sh "$demo/windows"

run() {
  echo
  echo "\$ vormlan-cli $*"
  "$cli" "$@"
}

run list --registry demo/demo.reg
run generate --printer "Vormlan Demo Laser" --registry demo/demo.reg \
  --windows-dir "$demo/windows" --out "$demo/out/laser"
run generate --printer "Vormlan Demo Inkjet" --registry demo/demo.reg \
  --windows-dir "$demo/windows" --out "$demo/out/inkjet"
echo
echo "\$ ls $demo/out/laser"
ls "$demo/out/laser"
echo
echo "\$ cat $demo/out/laser/vormlan.inf"
tr -d '\r' <"$demo/out/laser/vormlan.inf"
