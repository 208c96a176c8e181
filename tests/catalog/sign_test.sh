#!/usr/bin/env bash
# Signing and checking a catalog end to end: a test root and a code-signing
# certificate made with openssl, a package whose driver files are real PE
# images, its catalog signed from a PKCS #12 file and from PEM files;
# osslsigncode accepts the catalog's signature and each PE file against it,
# the flat hashes of the other files are in it, and check --trust accepts the
# package and refuses it once one byte of any file changes.
# Last, generate --store-ready --sign writes the signed catalog itself, for
# one printer and for --all, and refuses a bad key before writing anything.
# Usage: sign_test.sh MAKE_TEST_CATALOG VORMLAN_CLI WINE_DLL_DIR SOURCE_DIR
set -u
maker=$1
cli=$2
dlls=$3
src=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what=$1
  shift
  if "$@" >"$work/last.out" 2>&1; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    cat "$work/last.out"
    failures=$((failures + 1))
  fi
}
fails() { ! "$@"; }

# A root, a code-signing certificate it issued, and a stranger's root.
cd "$work"
# shellcheck source=tests/catalog/test_package.sh
source "$src/tests/catalog/test_package.sh"
make_test_pki

# The package: an INF, three PE images and two flat files. osslsigncode
# pads an unsigned image to a multiple of 8 bytes before hashing it, as a
# signer that embeds a signature would; a catalog hashes the file as it
# stands, so only images of such lengths are held against it (kelres.dll
# is not: 6 bytes over).
pkg=$work/pkg
mkdir -p "$pkg"
cp "$dlls/localspl.dll" "$pkg/kel.dll"
cp "$dlls/localui.dll" "$pkg/kelui.dll"
cp "$dlls/compstui.dll" "$pkg/kelres.dll"
printf '*GPDFileName: "kel.gpd"\r\n' >"$pkg/kel.gpd"
printf 'help\r\n' >"$pkg/kel.hlp"
write_kel_inf "$pkg" kel.dll kelui.dll kelres.dll kel.gpd kel.hlp
members=(kel.inf kel.dll kelui.dll kelres.dll kel.gpd kel.hlp)

"$maker" "$pkg/kel.cat" --pfx signer.pfx --password-file password.txt "${members[@]/#/$pkg/}"
check "a catalog is signed from a PKCS #12 file" test -s "$pkg/kel.cat"
check "osslsigncode accepts the catalog's signature" \
  osslsigncode verify -CAfile root.pem -in "$pkg/kel.cat"
for f in kel.dll kelui.dll; do
  check "osslsigncode accepts $f against the catalog" \
    osslsigncode verify -CAfile root.pem -catalog "$pkg/kel.cat" -in "$pkg/$f"
done
openssl asn1parse -inform DER -in "$pkg/kel.cat" >"$work/asn1.txt"
for f in kel.inf kel.gpd kel.hlp; do
  sum=$(sha1sum "$pkg/$f" | cut -c1-40 | tr a-f A-F)
  check "the flat SHA-1 of $f is in the catalog" grep -q "$sum" "$work/asn1.txt"
done
check "the catalog is of content type szOID_CTL" grep -q ":1.3.6.1.4.1.311.10.1$" "$work/asn1.txt"
check "the signature is SHA-256" grep -q ":sha256$" "$work/asn1.txt"

check "check --trust accepts the package" "$cli" check --arch x64 --trust root.pem "$pkg"
check "check --trust refuses a stranger's root" fails "$cli" check --arch x64 --trust other.pem "$pkg"
grep -q "does not chain to the trusted roots" "$work/last.out" ||
  { echo "FAILED: the refusal says why"; failures=$((failures + 1)); }
"$cli" check --arch x64 --trust-system "$pkg" >/dev/null 2>&1
rc=$?
check "check --trust-system is a usage error where there is no system store" bash -c "[ $rc -eq 2 ]"

# One byte changed in any file: check exits 1 naming it.
for f in "${members[@]}"; do
  cp "$pkg/$f" "$work/saved"
  printf 'Z' | dd of="$pkg/$f" bs=1 seek=300 conv=notrunc 2>/dev/null
  "$cli" check --arch x64 --trust root.pem "$pkg" >"$work/changed.out" 2>&1
  rc=$?
  check "one changed byte in $f fails check naming it" \
    bash -c "[ $rc -eq 1 ] && grep -q '\"$f\"' '$work/changed.out'"
  "$cli" check --arch x64 --json "$pkg" >"$work/changed.json" 2>&1
  check "... and --json says so too" python3 -c '
import json, sys
j = json.load(open(sys.argv[1]))
assert not j["ok"] and any(sys.argv[2] in p["problem"] for p in j["problems"]), j' \
    "$work/changed.json" "\"$f\""
  cp "$work/saved" "$pkg/$f"
done
# A changed byte in the catalog itself breaks its signature.
cp "$pkg/kel.cat" "$work/saved"
size=$(stat -c %s "$pkg/kel.cat")
printf 'Z' | dd of="$pkg/kel.cat" bs=1 seek=$((size / 3)) conv=notrunc 2>/dev/null
check "a changed catalog fails check" fails "$cli" check --arch x64 "$pkg"
cp "$work/saved" "$pkg/kel.cat"

# PEM key and certificate chain give the same; an unsigned catalog is only
# accepted without --trust.
"$maker" "$pkg/kel.cat" --key signer.key --cert chain.pem "${members[@]/#/$pkg/}"
check "a catalog signed from PEM files passes check --trust" \
  "$cli" check --arch x64 --trust root.pem "$pkg"
check "osslsigncode accepts it" osslsigncode verify -CAfile root.pem -catalog "$pkg/kel.cat" \
  -in "$pkg/kel.dll"
"$maker" "$pkg/kel.cat" "${members[@]/#/$pkg/}"
check "an unsigned catalog passes check" "$cli" check --arch x64 "$pkg"
check "... but not check --trust" fails "$cli" check --arch x64 --trust root.pem "$pkg"
grep -q "it is not signed" "$work/last.out" ||
  { echo "FAILED: the refusal says it is not signed"; failures=$((failures + 1)); }

# Bad signing inputs are refused naming the file, and write nothing.
printf 'wrong\n' >wrong.txt
: >empty.txt
for args in "--pfx signer.pfx --password-file wrong.txt|signer.pfx" \
            "--pfx signer.pfx --password-file empty.txt|signer.pfx" \
            "--pfx root.pem|root.pem" \
            "--key other.key --cert chain.pem|chain.pem" \
            "--key chain.pem --cert chain.pem|chain.pem"; do
  opts=${args%|*}
  file=${args#*|}
  rm -f "$work/bad.cat"
  # shellcheck disable=SC2086
  "$maker" "$work/bad.cat" $opts "$pkg/kel.inf" >"$work/bad.out" 2>&1
  rc=$?
  check "refused: $opts" bash -c "[ $rc -ne 0 ] && grep -q '$file' '$work/bad.out' && [ ! -e '$work/bad.cat' ]"
done

# --- generate writes the catalog: a driver whose files are PE images.
windows=$work/Windows
write_colour_windows "$windows" "$dlls"
fixture=$src/tests/data/cli/store-ready.reg
generate() { "$cli" generate --registry "$fixture" --windows-dir "$windows" --arch x64 "$@"; }

generate --printer Colour --out "$work/colour" --sign signer.pfx --sign-password-file password.txt \
  --json >"$work/gen.json" 2>"$work/gen.err"
rc=$?
check "generate --sign exits 0" bash -c "[ $rc -eq 0 ]"
check "... its JSON names the signed catalog" python3 -c '
import json, sys
j = json.load(open(sys.argv[1]))
assert j["storeReady"] and j["catalog"] == "vormlan.cat" and j["signed"], j' "$work/gen.json"
check "... the INF names it" grep -q "CatalogFile=vormlan.cat" "$work/colour/vormlan.inf"
check "... osslsigncode accepts a driver file against it" \
  osslsigncode verify -CAfile root.pem -catalog "$work/colour/vormlan.cat" -in "$work/colour/unidrv.dll"
check "... check --trust accepts the package" "$cli" check --arch x64 --trust root.pem "$work/colour"
check "... and no temporary folder is left" bash -c "[ ! -e '$work/colour/.vormlan-tmp' ]"
printf 'Z' | dd of="$work/colour/unidrvui.dll" bs=1 seek=1000 conv=notrunc 2>/dev/null
"$cli" check --arch x64 --trust root.pem "$work/colour" >"$work/changed.out" 2>&1
rc=$?
check "... and refuses it once a driver file changes" \
  bash -c "[ $rc -eq 1 ] && grep -q 'file \"unidrvui.dll\" does not match catalog \"vormlan.cat\"' '$work/changed.out'"

generate --printer Colour --out "$work/plain" --store-ready >/dev/null 2>&1
check "--store-ready alone writes an unsigned catalog" bash -c \
  "'$cli' check --arch x64 '$work/plain' && ! '$cli' check --arch x64 --trust root.pem '$work/plain'"

generate --all --out "$work/all" --sign-key signer.key --sign-cert chain.pem >/dev/null 2>&1
check "generate --all --sign-key signs every package's catalog" bash -c '
  n=0
  for inf in "$1"/*/vormlan.inf; do
    "$2" check --arch x64 --trust "$3" "$(dirname "$inf")" || exit 1
    n=$((n + 1))
  done
  [ "$n" -ge 1 ]' _ "$work/all" "$cli" root.pem

generate --printer Colour --out "$work/refused" --sign signer.pfx --sign-password-file wrong.txt \
  >/dev/null 2>"$work/refused.err"
rc=$?
check "a wrong password is refused naming the file, and nothing is written" bash -c \
  "[ $rc -eq 1 ] && grep -q 'signer.pfx' '$work/refused.err' && [ ! -e '$work/refused' ]"
generate --printer Colour --out "$work/refused" --sign-password-file password.txt >/dev/null 2>&1
rc=$?
check "--sign-password-file without --sign is a usage error" bash -c "[ $rc -eq 2 ]"

[ "$failures" -eq 0 ]
