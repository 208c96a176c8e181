#!/usr/bin/env bash
# Speed and memory of vormlan-cli, each figure as a ratio to a plain tool doing
# the same work on the same data: the tool and its baseline alternate ROUNDS
# times in one run and the medians are compared, so that a busy machine slows
# both alike. Every goal is checked (PASS/FAIL) and the script exits non-zero
# when one is missed.
#
# The data is generated under build/bench-data/ (removed afterwards): a 100 MB
# UTF-16 export with many printers, an export whose driver has 100,000
# dependent files, and two Windows directories holding the files of a driver
# of 10,000 small files and of one of 10 files of 100 MB.
#   VORMLAN_BENCH_ROUNDS=N   rounds per figure (default 5)
#   VORMLAN_BENCH_SMALL=1    tiny data (a smoke test of the script; no verdicts)
#   VORMLAN_BENCH_ONLY=WORD  only the figures whose name holds WORD (list, inf, generate)
#   VORMLAN_JOBS=N           build jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."

rounds="${VORMLAN_BENCH_ROUNDS:-5}"
small="${VORMLAN_BENCH_SMALL:-0}"
if [ "$small" = 1 ]; then
  export_mb=1 deps=1000 many=100 big_mb=1 big_count=2
else
  export_mb=100 deps=100000 many=10000 big_mb=100 big_count=10
fi

cmake --preset linux >/dev/null
cmake --build --preset linux -j "${VORMLAN_JOBS:-2}" --target vormlan-cli >/dev/null
cli="$PWD/build/linux/cli/vormlan-cli"

mkdir -p build/bench-data
data=$(mktemp -d "$PWD/build/bench-data/run.XXXXXX")
trap 'rm -rf "$data"' EXIT

# --- data

# Printer keys as a print server's export holds them, in UTF-16LE with a
# byte-order mark, until the file reaches export_mb.
awk -v limit=$((export_mb * 1024 * 1024 / 2)) 'BEGIN {
  printf "Windows Registry Editor Version 5.00\r\n\r\n"
  hex = "00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18"
  for (n = 0; total < limit; n++) {
    name = sprintf("Printer %07d", n)
    rec = sprintf("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s]\r\n", name)
    rec = rec sprintf("\"Name\"=\"%s\"\r\n\"Printer Driver\"=\"Bench Driver %d\"\r\n", name, n % 50)
    rec = rec sprintf("\"Port\"=\"IP_10.%d.%d.%d\"\r\n\"Attributes\"=dword:00000a40\r\n", n % 250, n % 199, n % 97)
    rec = rec "\"Default DevMode\"=hex:" hex ",\\\r\n"
    for (i = 0; i < 6; i++) rec = rec "  " hex ",\\\r\n"
    rec = rec "  " hex "\r\n\r\n"
    printf "%s", rec
    total += length(rec)
  }
}' >"$data/export.txt"
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$data/export.txt"; } >"$data/export.reg"
rm "$data/export.txt"

# hex(7) data of REGEDIT4 for the names in a file, one per line: the bytes of
# each name and its NUL, two NULs at the end, in lines of 25 bytes.
hex7() {
  od -An -v -tx1 "$1" | tr -s ' \n' '\n\n' | grep -v '^$' | sed 's/^0a$/00/' |
    awk 'BEGIN { ORS = "" } { b[n++] = $0 }
         END { b[n++] = "00"; for (i = 0; i < n; i++) {
                 print b[i]; if (i < n - 1) print (i % 25 == 24) ? ",\\\r\n  " : "," } }'
}
# A REGEDIT4 export with printer "$2" whose version 3 x86 driver has the
# files named in "$3" (one per line; the first three are its driver, data and
# configuration file) as dependent files.
driver_export() {
  local out="$1" printer="$2" names="$3"
  local drivers='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-3'
  {
    printf 'REGEDIT4\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s]\r\n' "$printer"
    printf '"Printer Driver"="%s Driver"\r\n\r\n' "$printer"
    printf '[%s\\%s Driver]\r\n' "$drivers" "$printer"
    printf '"Driver"="%s"\r\n"Data File"="%s"\r\n"Configuration File"="%s"\r\n' \
      "$(sed -n 1p "$names")" "$(sed -n 2p "$names")" "$(sed -n 3p "$names")"
    printf '"Help File"=""\r\n"Monitor"=""\r\n"Dependent Files"=hex(7):'
    hex7 "$names"
    printf '\r\n\r\n'
  } >"$out"
}

# 100k names in descending order: the worst case of an insertion sort.
seq -f 'DEP%06g.DLL' "$deps" -1 1 >"$data/deps.txt"
driver_export "$data/deps.reg" "Many Deps" "$data/deps.txt"

# A Windows directory with the files of a driver: "$2" files of "$3" KiB.
windows_dir() {
  local dir="$1" count="$2" kib="$3"
  local store="$dir/System32/spool/drivers/w32x86/3"
  mkdir -p "$store"
  head -c $((count * kib * 1024)) /dev/urandom |
    (cd "$store" && split -a 6 -d -b $((kib * 1024)) --additional-suffix=.dll - file)
  ls "$store" >"$dir.names"
}
windows_dir "$data/win-many" "$many" 4
driver_export "$data/many.reg" "Many Files" "$data/win-many.names"
windows_dir "$data/win-big" "$big_count" $((big_mb * 1024))
driver_export "$data/big.reg" "Big Files" "$data/win-big.names"

# --- measuring

now() { date +%s%N; }
# Runs "$@" with output discarded; prints the elapsed nanoseconds.
elapsed() {
  local start end
  start=$(now)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(now)
  echo $((end - start))
}
median() {
  sort -n | awk '{ v[NR] = $1 } END { printf "%.0f\n", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

failures=0
# figure NAME GOAL TOOL_MEDIAN BASE_MEDIAN UNIT: one line of the table.
report() {
  local name="$1" goal="$2" tool="$3" base="$4" unit="$5"
  local ratio verdict
  ratio=$(awk -v a="$tool" -v b="$base" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "inf" }')
  if [ "$small" = 1 ]; then
    verdict="(small data: no verdict)"
  elif awk -v r="$ratio" -v g="$goal" 'BEGIN { exit !(r <= g) }'; then
    verdict=PASS
  else
    verdict=FAIL
    failures=$((failures + 1))
  fi
  printf '%-44s %6s x  goal <= %s x  %s  (%s vs %s %s)\n' "$name" "$ratio" "$goal" "$verdict" \
    "$tool" "$base" "$unit"
}
ms() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }

# Tool and baseline alternate, the one going first switching each round.
# compare NAME GOAL "TOOL COMMAND" "BASELINE COMMAND" [PREPARE]
# (PREPARE runs untimed before each command: it clears the output folders and
# writes back what the previous round left dirty, so that neither side pays
# for the other's writes.)
wanted() { [[ "$1" == *"${VORMLAN_BENCH_ONLY:-}"* ]]; }
compare() {
  local name="$1" goal="$2" tool="$3" base="$4" prepare="${5:-true}"
  local t=() b=() i
  wanted "$name" || return 0
  for ((i = 0; i < rounds; i++)); do
    if ((i % 2 == 0)); then
      eval "$prepare"; t+=("$(elapsed bash -c "$tool")")
      eval "$prepare"; b+=("$(elapsed bash -c "$base")")
    else
      eval "$prepare"; b+=("$(elapsed bash -c "$base")")
      eval "$prepare"; t+=("$(elapsed bash -c "$tool")")
    fi
  done
  report "$name" "$goal" "$(ms "$(printf '%s\n' "${t[@]}" | median)")" \
    "$(ms "$(printf '%s\n' "${b[@]}" | median)")" ms
}

export_size=$(stat -c %s "$data/export.reg")
echo "vormlan-cli benchmarks: $rounds rounds, medians, $(nproc) cores, LC_ALL=${LC_ALL:-} LANG=${LANG:-}"
echo "data: export $((export_size / 1048576)) MiB UTF-16 ($(grep -c . "$data/deps.txt") dependent files for inf);" \
  "$many files of 4 KiB; $big_count files of $big_mb MiB"
echo

compare "list, ${export_mb} MB UTF-16 export vs iconv" 3 \
  "'$cli' list --registry '$data/export.reg'" \
  "iconv -f UTF-16 -t UTF-8 '$data/export.reg'"

rss=()
wanted "list" || rounds_rss=0
for ((i = 0; i < ${rounds_rss:-$rounds}; i++)); do
  rss+=("$(/usr/bin/time -f %M "$cli" list --registry "$data/export.reg" 2>&1 >/dev/null | tail -n 1)")
done
[ "${#rss[@]}" -eq 0 ] || peak_kib=$(printf '%s\n' "${rss[@]}" | median)
[ "${#rss[@]}" -eq 0 ] || report "peak RSS of that list vs the file's size" 2 "$(awk -v k="$peak_kib" 'BEGIN { printf "%.1f", k / 1024 }')" \
  "$(awk -v s="$export_size" 'BEGIN { printf "%.1f", s / 1048576 }')" MiB

compare "inf, ${deps} dependent files vs sort -f" 2 \
  "'$cli' inf --printer 'Many Deps' --registry '$data/deps.reg'" \
  "sort -f '$data/deps.txt'"

out="$data/out"
compare "generate, ${many} files of 4 KiB vs cp -n" 1.5 \
  "'$cli' generate --registry '$data/many.reg' --windows-dir '$data/win-many' --printer 'Many Files' --out '$out'" \
  "mkdir -p '$out' && cp -n '$data/win-many/System32/spool/drivers/w32x86/3/'* '$out/'" \
  "rm -rf '$out' && sync"

compare "generate, ${big_count} files of ${big_mb} MiB vs cp -n" 1.1 \
  "'$cli' generate --registry '$data/big.reg' --windows-dir '$data/win-big' --printer 'Big Files' --out '$out'" \
  "mkdir -p '$out' && cp -n '$data/win-big/System32/spool/drivers/w32x86/3/'* '$out/'" \
  "rm -rf '$out' && sync"

echo
if [ "$failures" -gt 0 ]; then
  echo "$failures goal(s) missed"
  exit 1
fi
[ "$small" = 1 ] || echo "all goals met"
