#!/usr/bin/env bash
# Remakes the seed corpus of the fuzz targets from the test fixtures: the
# export files of the suites (also as UTF-16 with and without a byte-order
# mark) and hives made from them by make-test-hive.
# Usage: fuzz/make-corpus.sh MAKE_TEST_HIVE   (for example build/asan/tests/support/make-test-hive)
set -euo pipefail
cd "$(dirname "$0")/.."
hive_tool="$(realpath "$1")"

exports=(tests/wine/generation-printers.reg tests/wine/probes-printers.reg
  tests/wine/probes-osname.reg tests/wine/registry-conformance.reg
  tests/wine/registry-conformance-v5.reg tests/cli/list_printers.reg
  tests/data/cli/missing-key.reg demo/demo.reg)
printers=(tests/wine/generation-printers.reg tests/cli/list_printers.reg tests/data/cli/store-ready.reg
  tests/data/cli/missing-key.reg demo/demo.reg)

rm -rf fuzz/corpus
mkdir -p fuzz/corpus/regfile_fuzzer fuzz/corpus/generate_fuzzer fuzz/corpus/hive_fuzzer fuzz/corpus/inf_fuzzer \
  fuzz/corpus/catalog_fuzzer
cp tests/data/cli/*.inf fuzz/corpus/inf_fuzzer/
cp fuzz/inf-seeds/*.inf fuzz/corpus/inf_fuzzer/
# PE headers (with and without a certificate table) and catalogs, unsigned
# and signed by a throwaway key.
cp fuzz/catalog-seeds/* fuzz/corpus/catalog_fuzzer/
for f in "${exports[@]}"; do cp "$f" fuzz/corpus/regfile_fuzzer/; done
for f in "${printers[@]}"; do cp "$f" fuzz/corpus/generate_fuzzer/; done

# Version 5 text in UTF-16LE, as Windows writes it, and without the mark.
v5=$(mktemp)
trap 'rm -f "$v5"' EXIT
sed '1s/^REGEDIT4\r\?$/Windows Registry Editor Version 5.00/' tests/wine/generation-printers.reg >"$v5"
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$v5"; } >fuzz/corpus/generate_fuzzer/generation-printers-utf16.reg
cp fuzz/corpus/generate_fuzzer/generation-printers-utf16.reg fuzz/corpus/regfile_fuzzer/
iconv -f UTF-8 -t UTF-16LE "$v5" >fuzz/corpus/regfile_fuzzer/generation-printers-utf16-no-bom.reg

for f in "${printers[@]}"; do
  name=$(basename "$f" .reg)
  "$hive_tool" "fuzz/corpus/hive_fuzzer/$name.hive" "$f"
  "$hive_tool" --control-set 2 "fuzz/corpus/hive_fuzzer/$name-saved.hive" "$f"
done
