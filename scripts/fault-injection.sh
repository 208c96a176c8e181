#!/usr/bin/env bash
# Measures how many realistic slips the test suites catch: each fault below is
# one small textual edit to the code that reads several hives at once, finds
# drivers without queues, chooses the default architecture, runs
# generate --all, and bounds untrusted input. For each, the edit is applied in
# place, the linux build is rebuilt incrementally, `ctest --preset linux`
# runs until its first failure, and the file is put back (also on Ctrl-C or
# an error). A fault is caught when a test fails; a fault that does not
# compile is an error of this list, not a catch, and makes the script fail.
#
# Usage (from anywhere; builds with nice, as the machine is shared):
#   scripts/fault-injection.sh            every fault
#   scripts/fault-injection.sh F07 F21    only those
#   scripts/fault-injection.sh --list     the faults, without running them
# Environment: SKIP_BASELINE=1 skips the first run of the unchanged tree.
# NEW_TESTS=REGEX (ctest -R) runs those suites before the others and marks
# the faults only they catch "(new)", to measure what tests being added
# change; FULL=1 then also runs the others, to tell whether they would have
# caught it without them (else marked "(new)?").
# The build tree must have been configured once:
#   cmake --preset linux -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
# Results: build/fault-injection/results/ (one file a fault, kept across runs)
# and the table printed at the end.
# Every pattern must match exactly once: a pattern that no longer matches
# stops the script before anything is changed.
#
# Last measured (35 faults): 35 caught, 100%. Before the tests of
# cli_sources, UnionRegistry.OtherCasesAreOneKeyAndARefusalIsTheAnswer,
# DriverInventory.EnvironmentsInAnyCaseAndEachPackageNamedOnce and
# HiveDamage.{FilesUpToTheSizeCapAreRead, TheIndexBudgetIsReachedNotCrossed,
# DirtyNoteNamesTheLogsOfTheHiveInAnyCase, DriverNamesWithASeparatorAreSkipped}
# the other suites caught 19 for certain (54%); F04, F08, F21, F25 and F32
# passed all of them.

set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK="$ROOT/build/fault-injection"
mkdir -p "$WORK/faults"
rm -f "$WORK"/faults/*

IDS=()
# fault ID FILE TESTS WHAT, with the text before and after the edit on
# standard input, separated by a line "=====". TESTS (a ctest -R pattern)
# are the suites run first, so that a fault they catch is known in seconds;
# the whole suite runs for a fault they miss.
fault() {
  local id=$1 file=$2 tests=$3 what=$4
  IDS+=("$id")
  printf '%s\n' "$file" >"$WORK/faults/$id.file"
  printf '%s\n' "$tests" >"$WORK/faults/$id.tests"
  printf '%s\n' "$what" >"$WORK/faults/$id.what"
  cat >"$WORK/faults/$id.edit"
}

# --- Caps on untrusted input -------------------------------------------------

fault F01 registry/RegFile.cpp "RegFile|cli_messages" "export from standard input: read stops at the cap itself, a longer stream is cut silently" <<'EOF'
  const std::size_t cap = maxBytes > 0 ? maxBytes : limit + 1;
=====
  const std::size_t cap = maxBytes > 0 ? maxBytes : limit;
EOF

fault F02 registry/RegFile.cpp "RegFile" "export size cap: a file of exactly the cap refused" <<'EOF'
  if (bytes.size() > limit) {
    throw RegFileError(sourceName + ": file larger than " + std::to_string(limit) +
=====
  if (bytes.size() >= limit) {
    throw RegFileError(sourceName + ": file larger than " + std::to_string(limit) +
EOF

fault F03 registry/RegFile.cpp "RegFileLimits" "export value-count cap off by one" <<'EOF'
    if (++values_ > kMaxExportValues) {
=====
    if (++values_ >= kMaxExportValues) {
EOF

fault F04 registry/HiveRegistry.cpp "HiveDamage|HiveRegistry" "hive file-size cap: a file of exactly 1 GiB refused" <<'EOF'
  if (size > HiveRegistry::kMaxFileSize) {
=====
  if (size >= HiveRegistry::kMaxFileSize) {
EOF

fault F05 registry/HiveRegistry.cpp "HiveDamage" "hive name-index budget: exactly the budget refused" <<'EOF'
    if (indexBytes <= maxIndexBytes) return true;
=====
    if (indexBytes < maxIndexBytes) return true;
EOF

# --- Control-set fallback ----------------------------------------------------

fault F06 registry/ControlSet.cpp "ChooseControlSet|LinkExportControlSet" "fallback takes the highest control set instead of the lowest" <<'EOF'
    if (set.first == 1 || (chosen->first != 1 && set.first < chosen->first)) chosen = &set;
=====
    if (set.first == 1 || (chosen->first != 1 && set.first > chosen->first)) chosen = &set;
EOF

fault F07 registry/HiveRegistry.cpp "HiveRegistry|cli_real_hive" "hive: the fallback note given when Select\\Current chose, none when it did not" <<'EOF'
    if (!choice->fromSelect) controlSetNote = choice->note;
=====
    if (choice->fromSelect) controlSetNote = choice->note;
EOF

# --- Containment -------------------------------------------------------------

fault F08 cli/RegistrySource.cpp "cli_real_hive" "--windows-dir hive link check by string prefix (Windows.old passes)" <<'EOF'
  if (!ec && !PathWithin(real, root)) {
=====
  if (!ec && real.native().rfind(root.native(), 0) != 0) {
EOF

fault F09 cli/cmd_generate.cpp "cli_rescue" "--out inside the Windows folder checked by string prefix" <<'EOF'
  if (PathWithin(target, windows)) {
=====
  if (target.native().starts_with(windows.native())) {
EOF

# --- Folder names, UTF-8, index.json -----------------------------------------

fault F10 cli/FolderNames.cpp "FolderNam" "folder name: trailing blanks kept" <<'EOF'
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
=====
  while (!name.empty() && name.back() == '.') name.pop_back();
EOF

fault F11 common/Unicode.cpp "Unicode|RegFileEncoding" "UTF-8: encoded surrogates accepted" <<'EOF'
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
=====
  if (value < minimum || value > 0x10FFFF) {
EOF

fault F12 cli/cmd_generate.cpp "cli_rescue" "index.json: each printer entry named after its package's first printer" <<'EOF'
    report.printer = entry.printer;
=====
    report.printer = package.subject.printer;
EOF

# --- Several hives at once ---------------------------------------------------

fault F13 registry/UnionRegistry.cpp "UnionRegistry" "union: subkeys deduplicated with regard to case" <<'EOF'
      if (seen.insert(unicode::Fold(name)).second) all.push_back(std::move(name));
=====
      if (seen.insert(name).second) all.push_back(std::move(name));
EOF

fault F14 registry/UnionRegistry.cpp "UnionRegistry" "union: a refusal of the first member ignored, the next one asked" <<'EOF'
      if (rc != error::FileNotFound) return rc;
=====
EOF

fault F15 cli/RegistrySource.cpp "cli_real_hive|cli_sources" "--arch all: architectures in the registry's order, not x86, x64, arm64" <<'EOF'
      std::sort(archs.begin(), archs.end());
=====
EOF

fault F16 cli/RegistrySource.cpp "cli_real_hive|cli_messages" "SOFTWARE beside --hive found only in the exact spelling" <<'EOF'
    if (unicode::Fold(TextOf(it->path().filename())) == wanted) return it->path();
=====
    if (TextOf(it->path().filename()) == name) return it->path();
EOF

fault F17 cli/RegistrySource.cpp "cli_real_hive|cli_messages" "--hive naming a SOFTWARE file reads it again as its own SOFTWARE" <<'EOF'
      if (fs::is_regular_file(*software, ec) && !fs::equivalent(*software, system, ec)) {
=====
      if (fs::is_regular_file(*software, ec)) {
EOF

fault F18 cli/RegistrySource.cpp "cli_real_hive" "--windows-dir: a hive link not resolved before the containment check" <<'EOF'
  const fs::path real = ec ? fs::path() : fs::canonical(hive, ec);
=====
  const fs::path real = ec ? fs::path() : fs::absolute(hive, ec);
EOF

fault F19 cli/RegistrySource.cpp "cli_real_hive" "--windows-dir overrides --software-hive" <<'EOF'
    if (softwareHive.empty()) {
      const fs::path software =
=====
    {
      const fs::path software =
EOF

fault F20 registry/ControlSet.cpp "LinkExportControlSet" "export: control sets below several keys, the first taken" <<'EOF'
    if (candidates.size() != 1 || registry.KeyExists(root::LocalMachine, system)) {
=====
    if (candidates.empty() || registry.KeyExists(root::LocalMachine, system)) {
EOF

fault F21 registry/HiveRegistry.cpp "cli_real_hive|HiveRegistry" "dirty hive: logs found only when spelled like the hive" <<'EOF'
  const std::string wanted = unicode::Fold(path.filename().string());
=====
  const std::string wanted = path.filename().string();
EOF

# --- Default architecture ----------------------------------------------------

fault F22 cli/RegistrySource.cpp "cli_real_hive" "PROCESSOR_ARCHITECTURE compared with regard to case" <<'EOF'
      const std::string folded = unicode::Fold(processor.value_or(""));
=====
      const std::string folded = processor.value_or("");
EOF

fault F23 cli/RegistrySource.cpp "cli_real_hive|cli_arch_store" "--arch all: an architecture listed once per driver" <<'EOF'
        if (d.arch && std::find(archs.begin(), archs.end(), *d.arch) == archs.end()) {
=====
        if (d.arch) {
EOF

# --- Drivers without queues --------------------------------------------------

fault F24 print/DriverRegistration.cpp "Lookup|Driver|cli_inf_generate" "--driver: the key's own spelling taken when the caller's is wanted" <<'EOF'
    if (!spelled) {
=====
    if (spelled) {
EOF

fault F25 print/DriverRegistration.cpp "Hive|Driver" "driver listing: a name holding a separator kept" <<'EOF'
        if (name.empty() || name.find('\\') != std::string::npos) continue;
=====
        if (name.empty()) continue;
EOF

fault F26 print/DriverRegistration.cpp "Driver|Lookup" "environment names compared with regard to case" <<'EOF'
    if (unicode::Fold(info.environment) == folded) return info.arch;
=====
    if (info.environment == environment) return info.arch;
EOF

fault F27 print/DriverRegistration.cpp "Driver|Lookup|cli_arch_store" "package dependencies not deduplicated" <<'EOF'
    if (std::find(e.packageDependencies.begin(), e.packageDependencies.end(), package) ==
        e.packageDependencies.end()) {
=====
    {
EOF

# --- generate --all ----------------------------------------------------------

fault F28 cli/cmd_generate.cpp "cli_rescue" "--all: a driver may get the folder name index.json" <<'EOF'
      namer.Reserve(kIndexFile);
=====
EOF

fault F29 cli/cmd_generate.cpp "cli_arch_store" "--all: version 4 drivers skipped with --source store too" <<'EOF'
    if (o.all && o.from == PackageSource::Composed && here != nullptr && here->version == 4) {
=====
    if (o.all && here != nullptr && here->version == 4) {
EOF

fault F30 cli/cmd_generate.cpp "cli_rescue|cli_arch_store" "foreign index: its package folders counted, not compared" <<'EOF'
      old.value("source", std::string()) == from && oldFolders == folders) {
=====
      old.value("source", std::string()) == from && oldFolders.size() == folders.size()) {
EOF

fault F31 cli/cmd_generate.cpp "cli_rescue" "exit status: a later run with missing files hides a failure" <<'EOF'
    if (r.error) return kExitError;
=====
    if (r.error) status = kExitError;
EOF

fault F32 cli/cmd_generate.cpp "cli_messages|cli_rescue" "--all: a damaged Printers key no longer makes the exit status 1" <<'EOF'
  return listing.problems.empty() ? StatusOf(reports) : kExitError;
=====
  return StatusOf(reports);
EOF

fault F33 cli/cmd_generate.cpp "cli_rescue" "--all: a printer whose driver is registered nowhere left out" <<'EOF'
      if (queueArchs[q].empty()) queueArchs[q].push_back(archs.front());
=====
EOF

fault F34 cli/cmd_generate.cpp "cli_rescue|cli_arch_store|cli_messages" "--all: a link in --out followed instead of refused" <<'EOF'
    if (fs::is_symlink(fs::symlink_status(at, ec))) {
=====
    if (fs::is_symlink(fs::status(at, ec))) {
EOF

fault F35 cli/FolderNames.cpp "FolderNam" "folder names: names differing in case share a folder" <<'EOF'
  for (int n = 2; !taken_.insert(unicode::Fold(name)).second; ++n) {
=====
  for (int n = 2; !taken_.insert(name).second; ++n) {
EOF

# ----------------------------------------------------------------------------

# The system's python starts in a fraction of the time a version manager's
# shim takes.
PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=python3

# edit [--check] ID...: applies each fault in place (with --check only
# verifies); fails naming the file unless each fault's text is there once.
edit() {
  "$PYTHON" - "$ROOT" "$WORK/faults" "$@" <<'PY'
import pathlib, sys
root, faults, ids = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3:]
write = ids[:1] != ["--check"]
bad = []
for fid in ids if write else ids[1:]:
    path = root / (faults / (fid + ".file")).read_text().strip()
    before, sep, after = (faults / (fid + ".edit")).read_text().partition("=====\n")
    count = path.read_text().count(before) if path.exists() and sep else -1
    if count != 1:
        bad.append(f"{path}: the text of {fid} occurs {count} times, not once")
    elif write:
        path.write_text(path.read_text().replace(before, after))
if bad:
    sys.exit("\n".join(bad))
PY
}

SELECTED=()
LIST=0
for arg in "$@"; do
  case $arg in
    --list) LIST=1 ;;
    F[0-9]*) SELECTED+=("$arg") ;;
    *) echo "usage: $0 [--list] [F01 F02 ...]" >&2; exit 2 ;;
  esac
done
[ ${#SELECTED[@]} -gt 0 ] || SELECTED=("${IDS[@]}")

for id in "${SELECTED[@]}"; do
  [ -f "$WORK/faults/$id.edit" ] || { echo "no fault $id" >&2; exit 2; }
done
edit --check "${SELECTED[@]}"
if [ "$LIST" = 1 ]; then
  for id in "${SELECTED[@]}"; do
    printf '%s  %-30s %s\n' "$id" "$(cat "$WORK/faults/$id.file")" "$(cat "$WORK/faults/$id.what")"
  done
  exit 0
fi

cd "$ROOT"
[ -f build/linux/build.ninja ] || {
  echo "configure first: cmake --preset linux -DCMAKE_CXX_COMPILER_LAUNCHER=ccache" >&2
  exit 2
}

build() { nice cmake --build --preset linux -j2 >"$WORK/build.log" 2>&1; }
# Runs the suites matching $1 (ctest -R), then those matching $NEW_TESTS,
# then the others, each time until the first failure; prints the failing
# test's name, marked "(new)" when only a suite of $NEW_TESTS failed. After a
# fault $NEW_TESTS caught, the others run only with FULL=1 (whether the other
# suites catch it too then stays open: "(new)?").
run_tests() {
  local hint=${1:-} others="" tag=""
  [ -n "$hint" ] && others="$hint"
  [ -n "${NEW_TESTS:-}" ] && others="${others:+$others|}$NEW_TESTS"
  if [ -n "$hint" ] && ! ctest_until_failure -R "$hint" ${NEW_TESTS:+-E "$NEW_TESTS"}; then
    failed_test
    return 1
  fi
  if [ -n "${NEW_TESTS:-}" ] && ! ctest_until_failure -R "$NEW_TESTS"; then
    tag=" (new)"
    if [ "${FULL:-0}" != 1 ]; then
      echo "$(failed_test)$tag?"
      return 1
    fi
    local new
    new=$(failed_test)
    if ctest_until_failure ${others:+-E "$others"}; then
      echo "$new$tag"
    else
      failed_test
    fi
    return 1
  fi
  if ! ctest_until_failure ${others:+-E "$others"}; then
    failed_test
    return 1
  fi
  return 0
}
ctest_until_failure() { nice ctest --preset linux --stop-on-failure "$@" >"$WORK/ctest.log" 2>&1; }
failed_test() {
  local first
  first=$(grep -E '^[[:space:]]*[0-9]+ - ' "$WORK/ctest.log" | head -1 |
    sed -E 's/^[[:space:]]*[0-9]+ - ([^ ]+).*/\1/')
  [ -n "$first" ] || first=$(grep -E '\*\*\*(Failed|Timeout|Exception)' "$WORK/ctest.log" |
    head -1 | sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/')
  echo "$first"
}

BACKUP=""
TARGET=""
restore() {
  if [ -n "$BACKUP" ]; then
    # A new time stamp, so that the build takes the file up again.
    cp "$BACKUP" "$TARGET"
    rm -f "$BACKUP"
    BACKUP=""
  fi
}
trap 'restore' EXIT
trap 'restore; exit 130' INT TERM

if [ "${SKIP_BASELINE:-0}" != 1 ]; then
  echo "baseline: building and testing the unchanged tree"
  build || { echo "the unchanged tree does not build: $WORK/build.log" >&2; exit 1; }
  if failed=$(run_tests); then :; else
    echo "the unchanged tree fails $failed: $WORK/ctest.log" >&2
    exit 1
  fi
fi

# One result file a fault, kept across runs (rerunning the survivors updates
# theirs) and dropped when the fault's edit changes.
mkdir -p "$WORK/results"
stamp() { cat "$WORK/faults/$1".* | md5sum | cut -c1-12; }
broken=0
for id in "${SELECTED[@]}"; do
  TARGET="$ROOT/$(cat "$WORK/faults/$id.file")"
  BACKUP="$WORK/$id.orig"
  cp -p "$TARGET" "$BACKUP"
  edit "$id"
  start=$SECONDS
  if ! build; then
    result="BUILD-FAILED"
    first="(see $WORK/$id.build.log)"
    cp "$WORK/build.log" "$WORK/$id.build.log"
    broken=$((broken + 1))
  elif first=$(run_tests "$(cat "$WORK/faults/$id.tests")"); then
    result="survived"
    first="-"
  else
    result="caught"
  fi
  restore
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$result" "$first" "$(cat "$WORK/faults/$id.file")" \
    "$(cat "$WORK/faults/$id.what")" "$(stamp "$id")" >"$WORK/results/$id"
  printf '%s %-9s %-45s (%ds)\n' "$id" "$result" "$first" $((SECONDS - start))
done
trap - EXIT
# Leave the build tree matching the sources.
build || true

echo
printf '%-4s %-9s %-52s %-30s %s\n' ID result "first failing test" file fault
caught=0 counted=0 missing=0 new=0
for id in "${IDS[@]}"; do
  if [ -f "$WORK/results/$id" ] && IFS=$'\t' read -r _ result first file what hash <"$WORK/results/$id" &&
    [ "$hash" = "$(stamp "$id")" ]; then
    printf '%-4s %-9s %-52s %-30s %s\n' "$id" "$result" "$first" "$file" "$what"
    [ "$result" = BUILD-FAILED ] || counted=$((counted + 1))
    [ "$result" = caught ] && caught=$((caught + 1))
    [ "$result" = caught ] && [[ $first == *"(new)"* ]] && new=$((new + 1))
  else
    printf '%-4s %-9s\n' "$id" "not run"
    missing=$((missing + 1))
  fi
done
echo
rate() { echo "$(($2 > 0 ? (100 * $1 + $2 / 2) / $2 : 0))%"; }
echo "caught $caught of $counted: $(rate "$caught" "$counted") ($missing not run yet)"
if [ -n "${NEW_TESTS:-}" ]; then
  echo "without the suites matching $NEW_TESTS: at most $((caught - new)) of $counted:" \
    "$(rate $((caught - new)) "$counted")"
fi
if [ "$broken" -gt 0 ]; then
  echo "$broken fault(s) did not build: fix their edits" >&2
  exit 1
fi
