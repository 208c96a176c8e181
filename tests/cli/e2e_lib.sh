# Helpers of the end-to-end shell tests of vormlan-cli (sourced).
# Expects $cli (the program). Sets $work, a temporary folder removed at exit.
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0; failed=0

# check NAME COMMAND...: COMMAND must succeed.
check() {
  local name="$1"; shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
  fi
}

# run ARGS...: the program with ARGS; $rc, $work/out, $work/err.
run() {
  "$cli" "$@" >"$work/out" 2>"$work/err"
  rc=$?
}

# rc_is N: the last run's exit status, shown when it differs.
rc_is() {
  [ "$rc" -eq "$1" ] && return 0
  echo "  exit status $rc, expected $1; stderr:"; sed 's/^/  | /' "$work/err"
  return 1
}

# has FILE TEXT: FILE holds the fixed text TEXT.
has() { grep -qF -- "$2" "$1" || { echo "  no \"$2\" in $1:"; sed 's/^/  | /' "$1"; return 1; }; }
# has_line FILE LINE: FILE holds LINE as a whole line.
has_line() { grep -qxF -- "$2" "$1" || { echo "  no line \"$2\" in $1:"; sed 's/^/  | /' "$1"; return 1; }; }
lacks() { ! grep -qF -- "$2" "$1"; }
empty() { [ ! -s "$1" ] || { echo "  $1 is not empty:"; sed 's/^/  | /' "$1"; return 1; }; }

# json FILE EXPRESSION: the Python expression, over the JSON document j read
# from FILE, is true (a real JSON parser, so malformed output fails).
json() {
  python3 - "$1" "$2" <<'PY'
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    j = json.load(f)
ok = eval("(" + sys.argv[2] + ")")
if not ok:
    print("  false over " + sys.argv[1] + ": " + sys.argv[2])
    print("  " + json.dumps(j, ensure_ascii=False)[:2000])
sys.exit(0 if ok else 1)
PY
}

finish() {
  echo "$(basename "$0"): $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
