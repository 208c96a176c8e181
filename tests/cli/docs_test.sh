#!/usr/bin/env bash
# Tests the manual page and the shell completions the build writes for
# vormlan-cli: every command and every option that each command's --help
# names is in the manual page's part for that command and in both
# completions; the page renders without warnings; the bash completion offers
# the commands, the options, the values of --arch, --source and
# --inf-encoding and the printers of the export on the line.
# Usage: docs_test.sh SOURCE_DIR CLI DOCS_DIR
set -u
src="$1"; cli="$2"; docs="$3"
. "$src/tests/cli/e2e_lib.sh"
fixture="$src/tests/data/cli/messages.reg"
page="$docs/vormlan-cli.1"
bash_completion="$docs/vormlan-cli.bash"
zsh_completion="$docs/_vormlan-cli"

# The commands the program's help lists, and the options a help text names.
commands=$("$cli" help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z]\+\) .*/\1/p')
options_of() { "$cli" "$@" --help | sed -n 's/^  \(-[^ ]*\).*/\1/p' | tr ',' '\n'; }

check "the program lists its commands" [ -n "$commands" ]
# The text of one command's part of the page, with roff's minus signs plain.
page_part() { sed 's/\\-/-/g; s/\\f[BIR]//g' "$page" | sed -n "/^\\.SS \"vormlan-cli $1\"/,/^\\.S[SH]/p"; }
# The option entries (the lines after .TP) of that part.
page_options() { page_part "$1" | sed -n '/^\.TP/{n;p;}'; }
bash_part() { sed -n "/^    $1)/,/;;/p" "$bash_completion"; }
zsh_part() { sed -n "/^        $1)/,/;;/p" "$zsh_completion"; }
in_words() { grep -qE -- "(^|[ \"'({,])$2([] \"'(),}:[]|$)" <<<"$1" || { echo "  no $2"; return 1; }; }

for command in $commands; do
  check "the page has a part for $command" [ -n "$(page_part "$command")" ]
  part=$(page_options "$command")
  bash_words=$(bash_part "$command")
  zsh_words=$(zsh_part "$command")
  for option in $(options_of "$command"); do
    check "the page names $command $option" in_words "$part" "$option"
    check "the bash completion offers $command $option" in_words "$bash_words" "$option"
    check "the zsh completion offers $command $option" in_words "$zsh_words" "$option"
  done
  check "the bash completion offers the command $command" grep -q "compgen -W \"-h .* $command" "$bash_completion"
  check "the zsh completion offers the command $command" grep -q "^    '$command:" "$zsh_completion"
done
check "the page is that of this version" grep -q "vormlan-cli $("$cli" --version | cut -d' ' -f2)" "$page"
if command -v man >/dev/null; then
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$work/page.txt" 2>"$work/warnings"
  check "the page renders" grep -q "EXIT STATUS" "$work/page.txt"
  check "... without warnings" empty "$work/warnings"
fi
check "the bash completion is valid bash" bash -n "$bash_completion"
if command -v zsh >/dev/null; then
  check "the zsh completion is valid zsh" zsh -n "$zsh_completion"
fi

# The bash completion at work: COMPREPLY for the words given, the last one
# being completed, with the program found on PATH.
mkdir -p "$work/bin" && ln -s "$cli" "$work/bin/vormlan-cli"
complete_words() {
  PATH="$work/bin:$PATH" bash -c '
    . "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _vormlan_cli
    [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_completion" vormlan-cli "$@" | sort | tr '\n' ' '
}
offers() {  # "EXPECTED" WORDS...: the completion is exactly EXPECTED (sorted)
  local expected="$1" got
  shift
  got=$(complete_words "$@")
  [ "$got" = "$expected" ] || { echo "  for '$*': got '$got', expected '$expected'"; return 1; }
}
check "bash: commands" offers "generate " "gen"
check "bash: --arch values" offers "all arm64 x64 x86 " inf --arch ""
check "bash: --source values" offers "auto composed store " generate --source ""
check "bash: --inf-encoding values" offers "ansi utf-16 " generate -p x --inf-encoding ""
check "bash: options of a command" offers "--inf-encoding " inf --inf
check "bash: help's topics" offers "inf " help in
check "bash: printers of the export on the line" \
  offers 'Office\ Laser ' inf --registry "$fixture" --printer "Off"
check "bash: no printers without a source" offers "" inf --printer ""
mkdir -p "$work/pkg-one"
check "bash: check's folder (in the current one)" offers "pkg-one " check pkg-

finish
