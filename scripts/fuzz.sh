#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, fuzzer + AddressSanitizer
# + UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60) from a
# copy of its seed corpus in fuzz/corpus/<target>/, so that the inputs the run
# finds never land in the repository. The targets run side by side. A crash, a
# leak, undefined behaviour, a broken invariant, an input that takes more than
# 10 s or a peak of more than 1.5 GiB (the memory goal of every reader) fails
# the script; the input that caused it is kept in build/fuzz/crashes/ (rerun
# it with: build/fuzz/fuzz/<target> FILE).
#   VORMLAN_JOBS=N  build jobs (default 2)
set -uo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
jobs="${VORMLAN_JOBS:-2}"
targets=(regfile_fuzzer hive_fuzzer generate_fuzzer inf_fuzzer catalog_fuzzer)

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$jobs" --target "${targets[@]}" ||
  exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
crashes="build/fuzz/crashes"
mkdir -p "$crashes"
pids=()
for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp fuzz/corpus/"$target"/* "$corpus"/
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  echo "--- $target: ${seconds} s from $(ls "$corpus" | wc -l) seed inputs"
  build/fuzz/fuzz/"$target" "$corpus" "${dict[@]}" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=1536 -print_final_stats=1 \
    -artifact_prefix="$crashes/$target-" >"$work/$target.log" 2>&1 &
  pids+=($!)
done

failed=()
for i in "${!targets[@]}"; do
  target="${targets[$i]}"
  if wait "${pids[$i]}"; then
    echo "--- $target: $(grep -E '^stat::number_of_executed_units' "$work/$target.log" |
      awk '{ print $2 }') runs, no failure"
  else
    tail -n 60 "$work/$target.log"
    echo "--- $target FAILED (inputs in $crashes)"
    failed+=("$target")
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}"
  exit 1
fi
echo "fuzzing: no failure in ${#targets[@]} targets"
