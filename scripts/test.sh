#!/usr/bin/env bash
# The whole test suite, in steps: the dependencies; the native build and its
# suites; the native suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer (asan preset); 60 s of each fuzz target
# (scripts/fuzz.sh); the x86_64 and i686 Windows builds and their suites under
# Wine; the release archives and their test. A failing step is reported and the later
# steps still run (a build's suites only if it built); the script exits
# non-zero when any step failed.
#
# Some hosts refuse 32-bit programs. The i686 (win32) suites run only where
# the host runs them (scripts/host-windows-build.sh); the same suites run on
# the x86_64 (win64) build everywhere.
#   VORMLAN_NO_WIN32_RUN=1  pretend that the host refuses 32-bit programs
#   VORMLAN_JOBS=N          build jobs (default 2)
#   VORMLAN_FUZZ_SECONDS=N  seconds per fuzz target (default 60)
set -uo pipefail
cd "$(dirname "$0")/.."

jobs="${VORMLAN_JOBS:-2}"
failed=()
note=""

step() {  # NAME COMMAND...: one step of the run; a failure is recorded
  local name="$1"
  shift
  local start=$SECONDS
  echo
  echo "=== $name"
  if "$@"; then
    echo "=== $name: passed ($((SECONDS - start)) s)"
    return 0
  fi
  echo "=== $name: FAILED ($((SECONDS - start)) s)"
  failed+=("$name")
  return 1
}
build() { cmake --preset "$1" && cmake --build --preset "$1" -j "$jobs"; }
suites() { ctest --preset "$1"; }

step "dependencies" bash scripts/install-deps.sh || exit 1

formatted() {  # the sources as the committed .clang-format writes them
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z '*.cpp' '*.h'
  else
    find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0
  fi | xargs -0 clang-format --dry-run --Werror
}
step "format" formatted

step "linux build" build linux && step "linux suites" suites linux

step "asan build" build asan && step "asan suites" suites asan
step "fuzzing" bash scripts/fuzz.sh "${VORMLAN_FUZZ_SECONDS:-60}"

win64_ran=no
step "win64 build" build win64 && win64_ran=yes && step "win64 suites" suites win64

if step "win32 build" build win32; then
  if [ "$(sh scripts/host-windows-build.sh)" = win32 ]; then
    step "win32 suites" suites win32
  else
    note="This host cannot run 32-bit programs: the i686 build (win32) was compiled but its suites did not run;"
    if [ "$win64_ran" = yes ]; then
      note+=" the same suites ran on the x86_64 build (win64)."
    else
      note+=" the x86_64 build (win64), which runs the same suites, did not build."
    fi
  fi
fi

step "release archives" bash scripts/release.sh &&
  step "release archive test" bash tests/release/archive_test.sh

echo
[ -z "$note" ] || echo "$note"
if [ "${#failed[@]}" -gt 0 ]; then
  echo "FAILED steps: ${failed[*]} (after $((SECONDS / 60)) min $((SECONDS % 60)) s)"
  exit 1
fi
echo "All steps passed in $((SECONDS / 60)) min $((SECONDS % 60)) s."
