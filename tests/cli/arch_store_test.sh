#!/usr/bin/env bash
# End-to-end tests of --arch and --source: the x86 default unchanged, the
# 64-bit INFs differing in their models decoration only, version 4 drivers
# refused for composition, and driver-store packages copied safely.
# Usage: arch_store_test.sh SOURCE_DIR CLI
set -u
src="$1"; cli="$2"
. "$src/tests/cli/e2e_lib.sh"
fixture="$src/tests/data/cli/arch-store.reg"
old="$src/tests/wine/generation-printers.reg"

windows="$work/Windows"
for dir in w32x86/3 x64/3 arm64/3; do
  mkdir -p "$windows/System32/spool/drivers/$dir"
  for f in dual.gpd unidrv.dll unidrvui.dll unidrv.hlp dual.dll; do
    echo "$dir $f" >"$windows/System32/spool/drivers/$dir/$f"
  done
done

# --- --arch x86 is the default, byte for byte.
"$cli" inf --printer "Laser Three" --registry "$old" >"$work/plain.inf" 2>/dev/null
"$cli" inf --printer "Laser Three" --registry "$old" --arch x86 >"$work/x86.inf" 2>/dev/null
check "inf --arch x86 is the INF without --arch" cmp -s "$work/plain.inf" "$work/x86.inf"
check "... which is the golden INF" cmp -s "$work/x86.inf" "$src/tests/data/cli/laser-three.inf"
"$cli" generate --printer Dual --registry "$fixture" --windows-dir "$windows" --out "$work/g-plain" >/dev/null 2>&1
"$cli" generate --printer Dual --registry "$fixture" --windows-dir "$windows" --out "$work/g-x86" --arch X86 >/dev/null 2>&1
check "generate --arch x86 writes the same package as without --arch" diff -r "$work/g-plain" "$work/g-x86"
check "... from the w32x86 store" has "$work/g-x86/dual.gpd" "w32x86/3 dual.gpd"

# --- x64 and arm64: two lines differ, nothing else.
"$cli" inf --printer Dual --registry "$fixture" >"$work/dual-x86.inf" 2>/dev/null
for arch in x64:NTamd64 arm64:NTarm64; do
  name="${arch%%:*}"; deco="${arch##*:}"
  run inf --printer Dual --registry "$fixture" --arch "$name"
  check "inf --arch $name exits 0" rc_is 0
  diff "$work/dual-x86.inf" "$work/out" | tr -d '\r' >"$work/diff"
  printf '13c13\n< "KEL"\n---\n> "KEL"=KEL,%s\n15c15\n< [KEL]\n---\n> [KEL.%s]\n' "$deco" "$deco" >"$work/want"
  check "inf --arch $name differs from x86 in the models lines alone" cmp -s "$work/diff" "$work/want"
  cp "$work/out" "$work/inf-$name"
  run generate --printer Dual --registry "$fixture" --windows-dir "$windows" --out "$work/g-$name" --arch "$name"
  check "generate --arch $name exits 0" rc_is 0
  check "generate --arch $name copies from the $name store" has "$work/g-$name/unidrv.dll" "$name/3 unidrv.dll"
  check "generate --arch $name writes the INF inf prints" cmp -s "$work/g-$name/vormlan.inf" "$work/inf-$name"
done

# --- a version 4 driver cannot be composed.
run inf --printer Modern --registry "$fixture" --arch x64
check "inf of a version 4 driver exits 1" rc_is 1
check "... prints no INF" empty "$work/out"
check "... says it is a version 4 driver" has "$work/err" "version 4 driver"
check "... names --source store" has "$work/err" "--source store"
run generate --printer Modern --registry "$fixture" --arch x64 --windows-dir "$windows" --out "$work/v4"
check "generate of a version 4 driver exits 1" rc_is 1
check "... and writes nothing" test ! -e "$work/v4"
check "... says it is a version 4 driver and names --source store" \
  bash -c "grep -q 'version 4 driver' '$work/err' && grep -qF -- '--source store' '$work/err'"

# --- driver-store packages.
repo="$windows/System32/DriverStore/FileRepository"
inf() {  # FILE [CATALOG]: a printer INF naming CATALOG
  mkdir -p "$(dirname "$1")"
  printf '[Version]\r\nSignature="$Windows NT$"\r\nClass=Printer\r\nClassGuid={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n' >"$1"
  if [ -n "${2:-}" ]; then printf 'CatalogFile=%s\r\n' "$2" >>"$1"; fi
}
pkg="$repo/SIGNED.inf_amd64_abc"   # another case than the InfPath's
inf "$pkg/signed.inf" signed.cat
echo cat >"$pkg/signed.cat"
mkdir -p "$pkg/amd64/sub"
echo dll >"$pkg/amd64/signed.dll"
echo deep >"$pkg/amd64/sub/deep.gpd"
inf "$repo/unsigned.inf_amd64_1/unsigned.inf" unsigned.cat
inf "$repo/modern.inf_amd64_1/modern.inf" modern.cat
echo cat >"$repo/modern.inf_amd64_1/modern.cat"
mkdir -p "$work/outside"
echo secret >"$work/outside/secret.txt"
inf "$repo/linky.inf_amd64_1/linky.inf"
ln -s "$work/outside/secret.txt" "$repo/linky.inf_amd64_1/secret.txt"
ln -s "$work/outside" "$repo/linky.inf_amd64_1/outdir"
ln -s ../../../../../outside/secret.txt "$repo/linky.inf_amd64_1/relative.txt"
# A FIFO whose name would colour the terminal.
mkfifo "$repo/linky.inf_amd64_1/$(printf 'pipe\033[31m')"

run generate --printer Signed --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s1"
check "store copy exits 0" rc_is 0
check "store copy keeps the package's subfolders" \
  bash -c "[ \"\$(cat '$work/s1/amd64/sub/deep.gpd')\" = deep ] && [ -f '$work/s1/amd64/signed.dll' ] && [ -f '$work/s1/signed.inf' ]"
check "store copy writes no INF of its own" test ! -e "$work/s1/vormlan.inf"
check "store copy names the INF and says it is signed" \
  bash -c "grep -F 'signed package' '$work/out' | grep -qF 'signed.inf'"
check "store copy leaves the store alone" test -f "$pkg/amd64/sub/deep.gpd"

echo changed >"$work/s1/amd64/signed.dll"
rm "$work/s1/signed.cat"
run generate --printer Signed --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s1" --json
check "a store copy into a folder with a changed file is refused (exit 1)" rc_is 1
check "... naming the file, with the --replace hint" json "$work/out" '
  j["status"] == "failed" and "amd64/signed.dll: differs" in j["error"]["message"] and
  any("--replace" in h for h in j["error"]["hints"])'
check "... and nothing is written" bash -c "[ ! -e '$work/s1/signed.cat' ] && grep -qx changed '$work/s1/amd64/signed.dll'"
run generate --printer Signed --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s1" --json --replace
check "--replace writes the package over it (exit 0)" rc_is 0
check "... every file of the package" json "$work/out" '
  sorted(j["copied"]) == ["amd64/signed.dll", "amd64/sub/deep.gpd", "signed.cat", "signed.inf"] and
  j["signed"] is True'
check "... the changed file replaced" bash -c "! grep -qx changed '$work/s1/amd64/signed.dll'"
run generate --printer Signed --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s1" --json
check "a rerun keeps the same files (exit 0)" json "$work/out" '
  j["copied"] == [] and sorted(j["kept"]) == ["amd64/signed.dll", "amd64/sub/deep.gpd", "signed.cat", "signed.inf"]'

run generate --printer Unsigned --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s2"
check "a missing catalog is said" bash -c "[ $rc -eq 0 ] && grep -q 'not signed: its catalog unsigned.cat is missing' '$work/out'"

for p in Outside Climb; do
  run generate --printer "$p" --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/bad-$p"
  check "store refuses the InfPath of $p (exit 1)" rc_is 1
  check "... naming the InfPath" has "$work/err" "InfPath \"C:\\"
  check "... writing nothing" test ! -e "$work/bad-$p"
done
check "the .. of an InfPath is named" has "$work/err" 'holds ".."'

run generate --printer Linky --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s3"
check "links in a store package: the rest is copied" bash -c "[ $rc -eq 0 ] && [ -f '$work/s3/linky.inf' ]"
check "links in a store package are not followed" \
  bash -c "[ ! -e '$work/s3/secret.txt' ] && [ ! -e '$work/s3/outdir' ] && [ ! -e '$work/s3/relative.txt' ]"
check "links in a store package are reported" bash -c "grep -q 'not copied: secret.txt' '$work/err' && grep -q 'not copied: outdir' '$work/err'"
check "... with the control characters of their names escaped" \
  bash -c "grep -qF 'not copied: pipe\\x1b[31m' '$work/err' && ! grep -q \$'\\033' '$work/err'"
run generate --quiet --printer Linky --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s3"
check "--quiet drops the warnings (exit 0)" bash -c "[ $rc -eq 0 ] && [ ! -s '$work/err' ] && [ ! -s '$work/out' ]"

# The package folder itself a link out of the Windows directory.
mkdir -p "$work/elsewhere"
inf "$work/elsewhere/gone.inf"
echo secret >"$work/elsewhere/secret.txt"
ln -s "$work/elsewhere" "$repo/gone.inf_amd64_1"
run generate --printer Gone --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s6"
check "a package folder that links out is not copied (exit 1)" bash -c "[ $rc -eq 1 ] && [ ! -e '$work/s6' ]"
rm "$repo/gone.inf_amd64_1"

run generate --printer Gone --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s4"
check "a missing store folder exits 1" rc_is 1
check "... naming the path looked for" has "$work/err" "$windows/System32/DriverStore/FileRepository/gone.inf_amd64_1"
check "... writing nothing" test ! -e "$work/s4"

run generate --printer Modern --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s5"
check "a version 4 driver's store package is copied" bash -c "[ $rc -eq 0 ] && [ -f '$work/s5/modern.inf' ]"
check "... with the inbox packages it builds on" \
  bash -c "grep -q 'ntprint4.inf_amd64_1' '$work/out' && grep -q 'ntprint4.inf' '$work/out'"
run generate --printer Modern --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/s5j" --json
check "... and in the JSON" json "$work/out" 'sorted(j["dependencies"]) == ["ntprint4.inf", "ntprint4.inf_amd64_1"] and j["version"] == 4'

# --- auto: the store package where there is one, a composed INF otherwise.
run generate --printer Signed --registry "$fixture" --arch x64 --source auto --windows-dir "$windows" --out "$work/a1"
check "auto takes the store package and says so" \
  bash -c "[ $rc -eq 0 ] && grep -q 'source: the driver store' '$work/out' && [ -f '$work/a1/signed.inf' ] && [ ! -e '$work/a1/vormlan.inf' ]"
run generate --printer Dual --registry "$fixture" --arch x64 --source auto --windows-dir "$windows" --out "$work/a2"
check "auto composes without a store package and says why" \
  bash -c "[ $rc -eq 0 ] && grep -q 'source: a composed INF (.*InfPath' '$work/out' && [ -f '$work/a2/vormlan.inf' ]"
run generate --printer Gone --registry "$fixture" --arch x64 --source auto --windows-dir "$windows" --out "$work/a3" --json
check "auto composes when the store folder is missing" json "$work/out" 'j["source"] == "composed" and j["error"] is None'
run generate --printer Dual --registry "$fixture" --arch x64 --source store --windows-dir "$windows" --out "$work/a4"
check "store without an InfPath exits 1 and writes nothing" bash -c "[ $rc -eq 1 ] && [ ! -e '$work/a4' ]"
check "... saying there is no InfPath" has "$work/err" "has no InfPath value"

# --- --all --source auto: each printer from where its package is.
run generate --all --registry "$fixture" --arch x64 --source auto --windows-dir "$windows" --out "$work/all"
check "--all --source auto exits 3 (composed ones miss files)" rc_is 3
check "--all --source auto: each printer's source in the index" json "$work/all/index.json" '
  j["source"] == "auto" and len(j["printers"]) == len({p["printer"] for p in j["printers"]}) and
  {p["printer"]: (p["source"], p["status"]) for p in j["printers"]} == {
    "Signed": ("store", "done"), "Unsigned": ("store", "done"), "Modern": ("store", "done"),
    "Linky": ("store", "done"), "Dual": ("composed", "done"), "Gone": ("composed", "files missing"),
    "Outside": ("composed", "files missing"), "Climb": ("composed", "files missing")}'
check "--all --source auto: the store packages are copied" \
  bash -c "[ -f '$work/all/Signed Driver/amd64/sub/deep.gpd' ] && [ -f '$work/all/Modern V4/modern.inf' ] && [ ! -e '$work/all/Modern V4/vormlan.inf' ]"

# --- a folder holds one package.
cp -r "$work/g-x86" "$work/mix"
run generate --printer Dual --registry "$fixture" --windows-dir "$windows" --out "$work/mix" --arch x64 --json
check "the x64 package into the folder of the x86 one is refused (exit 1)" rc_is 1
check "... naming the x86 files and the INF" json "$work/out" '
  "unidrv.dll: differs" in j["error"]["message"] and
  "vormlan.inf: the INF of a package for x86, not x64" in j["error"]["message"]'
check "... with nothing written" diff -r "$work/g-x86" "$work/mix"
run generate --printer Dual --registry "$fixture" --windows-dir "$windows" --out "$work/mix" --arch x64 --replace
check "--replace writes the x64 package over it (exit 0)" rc_is 0
check "... its files and INF" bash -c "cmp -s '$work/mix/vormlan.inf' '$work/inf-x64' && grep -q 'x64/3 unidrv.dll' '$work/mix/unidrv.dll'"
run check "$work/mix" --arch x64
check "... which checks as an x64 package" rc_is 0
run generate --printer Signed --registry "$fixture" --arch x64 --windows-dir "$windows" --out "$work/mix"
check "another driver into a package's folder is refused (exit 1)" \
  bash -c "[ $rc -eq 1 ] && grep -q 'vormlan.inf: the INF of another driver' '$work/err'"

# --- --all into the folder of another rescue.
run generate --all --registry "$fixture" --arch x86 --windows-dir "$windows" --out "$work/all"
check "--all of another architecture into a rescue folder is refused (exit 1)" \
  bash -c "[ $rc -eq 1 ] && grep -q 'index of another rescue' '$work/err'"
check "... leaving its index" json "$work/all/index.json" 'j["arch"] == "x64"'
run generate --all --registry "$fixture" --arch x64 --source auto --windows-dir "$windows" --out "$work/all"
check "a rerun of the same rescue is accepted (exit 3 as before)" rc_is 3
mkdir -p "$work/other"
echo "mine" >"$work/other/summary.txt"
run generate --all --registry "$fixture" --arch x64 --windows-dir "$windows" --out "$work/other"
check "--all into a folder with a summary.txt of its own is refused" \
  bash -c "[ $rc -eq 1 ] && grep -qx mine '$work/other/summary.txt' && grep -q '^hint: .*--replace' '$work/err'"
run generate --all --registry "$fixture" --arch x86 --windows-dir "$windows" --out "$work/all" --replace --json
check "--replace writes the other rescue's index" json "$work/all/index.json" 'j["arch"] == "x86"'

finish
