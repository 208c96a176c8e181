#!/usr/bin/env bash
# The Windows build's signed catalog under Wine: made and signed by
# make-test-catalog.exe (PKCS #12 and PEM), accepted by osslsigncode and by
# vormlan-cli.exe check --trust, and read through the system's catalog API
# (catalog-api-probe.exe) with the test root in the prefix's Root store.
#
# What Wine 8 does, and this test holds:
# - CryptCATAdminCalcHashFromFileHandle gives the SHA-1 of the whole file,
#   for PE images too (not their Authenticode hash): a flat file is found
#   by it, a PE image is not.
# - CryptCATOpen reads the catalog and CryptCATEnumerateMember lists every
#   member by its tag, the upper-case hex of its hash.
# - CryptCATGetMemberInfo finds no member (CRYPT_E_NOT_FOUND, 0x80092004),
#   not even one whose tag it was given: it does not look members up.
# - WinVerifyTrust (WINTRUST_ACTION_GENERIC_VERIFY_V2) accepts the catalog
#   (0) once its root is in the Root store; it accepts it too once a byte
#   of its member list has changed (Wine checks the signature over the
#   authenticated attributes, not their digest against the content), where
#   vormlan-cli check refuses it. With WTD_CHOICE_CATALOG it says
#   the same for every member, whether or not the member's tag is in the
#   catalog: Wine checks the catalog's signature, not the member.
# - PFXImportCertStore garbles some RSA keys whose private parts are a byte
#   short: they sign without error, wrongly. The Windows build makes a
#   trial signature and refuses such a key.
# vormlan-cli.exe check --trust-system asks the same Root store: it refuses
# the package before the root is added and accepts it after.
# Last, vormlan-cli.exe generate --store-ready --sign writes the signed
# catalog itself, and setupapi reads the package.
# Usage: wine_catalog_api_test.sh WINE_RUN MAKE_TEST_CATALOG CLI PROBE WINE_DLL_DIR SOURCE_DIR
#                                 SETUPAPI_VERDICT
set -u
wine_run=$1
maker=$2
cli=$3
probe=$4
dlls=$5
src=$6
verdict=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
ok() { echo "ok: $1"; }
bad() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}
expect() {  # what, command...
  local what=$1
  shift
  if "$@" >"$work/last.out" 2>&1; then ok "$what"; else
    bad "$what"
    cat "$work/last.out"
  fi
}
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

cd "$work"
# shellcheck source=tests/catalog/test_package.sh
source "$(dirname "$0")/test_package.sh"
make_test_pki

pkg=$work/pkg
mkdir -p "$pkg"
cp "$dlls/localspl.dll" "$pkg/kel.dll"
cp "$dlls/localui.dll" "$pkg/kelui.dll"
printf '*GPDFileName: "kel.gpd"\r\n' >"$pkg/kel.gpd"
write_kel_inf "$pkg" kel.dll kelui.dll kel.gpd
members=(kel.inf kel.dll kelui.dll kel.gpd)
winmembers=()
for f in "${members[@]}"; do winmembers+=("$(winpath "$pkg/$f")"); done

for how in pfx pem; do
  if [ "$how" = pfx ]; then
    opts=(--pfx "$(winpath "$work/signer.pfx")" --password-file "$(winpath "$work/password.txt")")
  else
    opts=(--key "$(winpath "$work/signer.key")" --cert "$(winpath "$work/chain.pem")")
  fi
  rm -f "$pkg/kel.cat"
  expect "make-test-catalog.exe signs from $how" \
    "$wine_run" "$maker" "$(winpath "$pkg/kel.cat")" "${opts[@]}" "${winmembers[@]}"
  expect "... osslsigncode accepts the catalog's signature" \
    osslsigncode verify -CAfile root.pem -in "$pkg/kel.cat"
  expect "... and kel.dll against it" \
    osslsigncode verify -CAfile root.pem -catalog "$pkg/kel.cat" -in "$pkg/kel.dll"
  expect "... vormlan-cli.exe check --trust accepts the package" \
    "$wine_run" "$cli" check --arch x64 --trust "$(winpath "$work/root.pem")" "$(winpath "$pkg")"
done

# Bad signing inputs are refused naming the file, and write nothing.
printf 'wrong\n' >wrong.txt
for args in "--pfx signer.pfx --password-file wrong.txt|signer.pfx|password is wrong" \
            "--pfx root.pem|root.pem|not a PKCS #12" \
            "--key other.key --cert chain.pem|chain.pem|does not belong" \
            "--key chain.pem --cert chain.pem|chain.pem|no PEM private key"; do
  IFS='|' read -r opts file why <<<"$args"
  winopts=()
  for o in $opts; do
    case "$o" in --*) winopts+=("$o") ;; *) winopts+=("$(winpath "$work/$o")") ;; esac
  done
  rm -f "$work/bad.cat"
  "$wine_run" "$maker" "$(winpath "$work/bad.cat")" "${winopts[@]}" "$(winpath "$pkg/kel.inf")" \
    >"$work/bad.out" 2>&1
  rc=$?
  if [ $rc -ne 0 ] && grep -q "$file" "$work/bad.out" && grep -q "$why" "$work/bad.out" &&
    [ ! -e "$work/bad.cat" ]; then
    ok "refused: $opts ($why)"
  else
    bad "refused: $opts ($why)"
    cat "$work/bad.out"
  fi
done

# A key Wine's PKCS #12 import garbles (its CRT coefficient is a byte
# short): the Windows build refuses it, naming the file, before writing
# anything, or (once Wine imports it rightly) signs rightly; never a catalog
# whose signature does not hold. The same key from PEM files signs.
data=$src/tests/data/catalog
"$wine_run" "$maker" "$(winpath "$work/short.cat")" --pfx "$(winpath "$data/short-part.pfx")" \
  --password-file "$(winpath "$data/short-part.password")" "$(winpath "$pkg/kel.inf")" \
  >"$work/short.out" 2>&1
if [ -e "$work/short.cat" ]; then
  expect "a PKCS #12 key Wine used to garble signs rightly" \
    osslsigncode verify -CAfile "$data/short-part.pem" -in "$work/short.cat"
elif grep -q "signs wrongly" "$work/short.out" && grep -q "short-part.pfx" "$work/short.out"; then
  ok "a PKCS #12 key Wine's import garbles is refused naming the file, and nothing is written"
else
  bad "a PKCS #12 key Wine's import garbles is refused naming the file"
  cat "$work/short.out"
fi
rm -f "$work/short.cat"
expect "... the same key from PEM files signs" \
  "$wine_run" "$maker" "$(winpath "$work/short.cat")" --key "$(winpath "$data/short-part.key")" \
  --cert "$(winpath "$data/short-part.pem")" "$(winpath "$pkg/kel.inf")"
expect "... and osslsigncode accepts that signature" \
  osslsigncode verify -CAfile "$data/short-part.pem" -in "$work/short.cat"

# check --trust-system asks the system's stores, which do not hold this
# run's fresh root yet.
trust_system() {  # expected status, what, extra options...
  local want=$1 what=$2
  shift 2
  "$wine_run" "$cli" check --arch x64 "$@" --trust-system "$(winpath "$pkg")" >"$work/ts.out" 2>&1
  local rc=$?
  if [ $rc -eq "$want" ]; then ok "$what"; else
    bad "$what (exit $rc)"
    cat "$work/ts.out"
  fi
}
trust_system 1 "check --trust-system refuses a root the system does not trust"
grep -q "does not chain to a root this system trusts" "$work/ts.out" &&
  ok "... saying so" || bad "... saying so"

# The system's catalog API on the last catalog.
"$wine_run" "$probe" "$(winpath "$work/root.pem")" "$(winpath "$pkg/kel.cat")" \
  "${winmembers[@]}" >"$work/probe.out" 2>&1
tr -d '\r' <"$work/probe.out" >"$work/probe.txt"
echo "--- what the catalog API said (root in the Root store):"
sed 's/^/  /' "$work/probe.txt"
field() { awk -v k="$1" -v n="$2" '$1 == k && $2 == n { print $3 }' "$work/probe.txt"; }

grep -q "^root added$" "$work/probe.txt" && ok "the root is in the prefix's Root store" ||
  bad "the root is in the prefix's Root store"
grep -q "^open ok$" "$work/probe.txt" && ok "CryptCATOpen reads the catalog" ||
  bad "CryptCATOpen reads the catalog"
listed=$(grep -c "^member " "$work/probe.txt")
[ "$listed" -eq "${#members[@]}" ] && ok "CryptCATEnumerateMember lists all $listed members" ||
  bad "CryptCATEnumerateMember lists ${#members[@]} members (gave $listed)"
for f in "${members[@]}"; do
  ours=$(field ours "$f")
  kind=$(awk -v n="$f" '$1 == "ours" && $2 == n { print $4 }' "$work/probe.txt")
  system=$(field system "$f")
  grep -q "^member $ours$" "$work/probe.txt" && ok "$f is a member by our hash" ||
    bad "$f is a member by our hash"
  flat=$(sha1sum "$pkg/$f" | cut -c1-40 | tr a-f A-F)
  [ "$system" = "$flat" ] && ok "Wine's CryptCATAdminCalcHashFromFileHandle gives the flat SHA-1 of $f" ||
    bad "Wine's CryptCATAdminCalcHashFromFileHandle gives the flat SHA-1 of $f (gave $system)"
  if [ "$kind" = flat ]; then
    [ "$system" = "$ours" ] && ok "... which finds the flat file $f" || bad "... which finds the flat file $f"
  else
    [ "$system" != "$ours" ] && ok "... which is not the Authenticode hash of the PE image $f" ||
      bad "... which is not the Authenticode hash of the PE image $f"
  fi
  [ "$(field info "$f")" = "error:0x80092004" ] &&
    ok "Wine's CryptCATGetMemberInfo finds no member ($f: CRYPT_E_NOT_FOUND)" ||
    bad "CryptCATGetMemberInfo for $f gave $(field info "$f"): Wine has changed, update this test"
  [ "$(field trust-member "$f")" = 0x00000000 ] &&
    ok "WinVerifyTrust (WTD_CHOICE_CATALOG) accepts $f" || bad "WinVerifyTrust (WTD_CHOICE_CATALOG) accepts $f"
done
[ "$(awk '$1 == "trust-catalog" { print $2 }' "$work/probe.txt")" = 0x00000000 ] &&
  ok "WinVerifyTrust accepts the catalog with its root in the Root store" ||
  bad "WinVerifyTrust accepts the catalog with its root in the Root store"

trust_system 0 "check --trust-system accepts the package once its root is in the Root store"
trust_system 0 "... also beside a stranger's --trust (either suffices)" --trust "$(winpath "$work/other.pem")"

# A catalog changed after it was signed: the signature no longer holds, but
# Wine does not see it.
cp "$pkg/kel.cat" "$work/saved.cat"
size=$(stat -c %s "$pkg/kel.cat")
printf 'Z' | dd of="$pkg/kel.cat" bs=1 seek=$((size / 4)) conv=notrunc 2>/dev/null
"$wine_run" "$probe" "$(winpath "$work/root.pem")" "$(winpath "$pkg/kel.cat")" \
  "$(winpath "$pkg/kel.inf")" 2>&1 | tr -d '\r' >"$work/changed.txt"
trust=$(awk '$1 == "trust-catalog" { print $2 }' "$work/changed.txt")
[ "$trust" = 0x00000000 ] &&
  ok "Wine's WinVerifyTrust accepts a changed catalog (it compares no message digest)" ||
  bad "WinVerifyTrust gave $trust for a changed catalog: Wine has changed, update this test"
"$wine_run" "$cli" check --arch x64 "$(winpath "$pkg")" >"$work/check.out" 2>&1
[ $? -eq 1 ] && ok "vormlan-cli.exe check refuses it too" || bad "vormlan-cli.exe check refuses it too"
cp "$work/saved.cat" "$pkg/kel.cat"

# generate writes the signed catalog under Wine too.
windows=$work/Windows
write_colour_windows "$windows" "$dlls"
"$wine_run" "$cli" generate --registry "$(winpath "$src/tests/data/cli/store-ready.reg")" \
  --windows-dir "$(winpath "$windows")" --arch x64 --printer Colour --out "$(winpath "$work/colour")" \
  --sign "$(winpath "$work/signer.pfx")" --sign-password-file "$(winpath "$work/password.txt")" \
  >"$work/gen.out" 2>&1
expect "generate --store-ready --sign under Wine writes vormlan.cat" test -s "$work/colour/vormlan.cat"
expect "... osslsigncode accepts a driver file against it" \
  osslsigncode verify -CAfile root.pem -catalog "$work/colour/vormlan.cat" -in "$work/colour/unidrv.dll"
expect "... check --trust accepts the package" \
  "$wine_run" "$cli" check --arch x64 --trust "$(winpath "$work/root.pem")" "$(winpath "$work/colour")"
expect "... setupapi reads the store-ready INF" "$wine_run" "$verdict" "$(winpath "$work/colour")"

[ "$failures" -eq 0 ]
