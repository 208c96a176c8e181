#!/usr/bin/env bash
# Tests the release archives that scripts/release.sh made in dist/ (or $1):
# their names carry the version of project() in CMakeLists.txt; each unpacks
# to one folder of that name holding exactly its programs, README.md and
# LICENSE; `file` sees PE32 programs in the win32 zip, PE32+ in the win64 one
# and an x86-64 ELF program in the Linux tarball; the Windows programs carry
# the version in their version resource; every vormlan-cli answers --version
# and -V with "vormlan-cli <version>": natively, or under Wine through the
# build's wrapper (build/<preset>/wine-run). The win32 one runs only where the
# host runs 32-bit programs (scripts/host-windows-build.sh). The Debian package
# declares its libraries, installs with apt-get (as root) with its manual page
# and completions in Debian's places, answers --version there, and removes.
set -u
cd "$(dirname "$0")/../.."
dist="$(realpath "${1:-dist}")"
version=$(sed -n 's/^project(vormlan VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # DESCRIPTION COMMAND...: counts the command's outcome and returns it
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
    return 0
  fi
  failed=$((failed + 1))
  echo "FAILED: $what"
  return 1
}
contents_are() {  # FOLDER NAME...: the folder holds exactly these files
  [ "$(cd "$1" && find . -mindepth 1 -printf '%P\n' | sort)" = "$(shift; printf '%s\n' "$@" | sort)" ]
}
file_type_is() {  # FILE PATTERN: `file -b` describes the file so (a glob)
  case "$(file -b "$1")" in $2) return 0 ;; *)
    echo "  $1: $(file -b "$1")"
    return 1
    ;;
  esac
}
has_version_resource() {  # EXE: FileVersion and ProductVersion are the version
  [ "$(strings -el "$1" | grep -A1 -xE 'FileVersion|ProductVersion' | grep -cx "$version")" -eq 2 ]
}
answers_version() {  # COMMAND...: --version and -V print "vormlan-cli <version>"
  local flag out
  for flag in --version -V; do
    out=$("$@" "$flag" | tr -d '\r')
    if [ "$out" != "vormlan-cli $version" ]; then
      echo "  $flag printed: $out"
      return 1
    fi
  done
}
unpack() {  # ARCHIVE: unpacked into $work; the archive's one folder
  local name="$1"
  mkdir -p "$work/$name" && (cd "$work/$name" && cmake -E tar xf "$dist/$2") &&
    [ "$(ls "$work/$name")" = "$name" ]
}

check "the version is read from CMakeLists.txt" [ -n "$version" ]
windows="$(sh scripts/host-windows-build.sh)"

for arch in win32 win64; do
  name="vormlan-$version-$arch"
  if ! check "$name.zip unpacks to one folder $name" unpack "$name" "$name.zip"; then
    continue
  fi
  dir="$work/$name/$name"
  check "$name.zip holds the programs, README.md and LICENSE" \
    contents_are "$dir" vormlan.exe vormlan-cli.exe README.md LICENSE
  if [ "$arch" = win32 ]; then pe="PE32 executable"; else pe="PE32+ executable"; fi
  for exe in vormlan.exe vormlan-cli.exe; do
    check "$arch $exe is a $pe" file_type_is "$dir/$exe" "$pe *"
    check "$arch $exe has the version resource $version" has_version_resource "$dir/$exe"
  done
  if [ "$arch" = win32 ] && [ "$windows" != win32 ]; then
    echo "SKIPPED: the win32 vormlan-cli.exe --version (this host runs no 32-bit programs)"
  else
    check "$arch vormlan-cli.exe --version under Wine" \
      answers_version "build/$arch/wine-run" "$dir/vormlan-cli.exe"
  fi
done

name="vormlan-cli-$version-linux-x86_64"
if check "$name.tar.gz unpacks to one folder $name" unpack "$name" "$name.tar.gz"; then
  dir="$work/$name/$name"
  check "$name.tar.gz holds vormlan-cli, README.md and LICENSE" \
    contents_are "$dir" vormlan-cli README.md LICENSE
  check "linux vormlan-cli is an x86-64 ELF program" \
    file_type_is "$dir/vormlan-cli" "ELF 64-bit LSB *, x86-64, *"
  check "linux vormlan-cli --version" answers_version "$dir/vormlan-cli"
fi

deb="vormlan-cli_${version}_amd64.deb"
deb_has() {  # PATH...: the package holds these files
  local listing path
  listing=$(dpkg-deb -c "$dist/$deb" | awk '{print $6}')
  for path in "$@"; do
    grep -qx "\./$path" <<<"$listing" || { echo "  no $path in $deb"; return 1; }
  done
}
depends_on() {  # PACKAGE...: the Depends field names them
  local depends
  depends=$(dpkg-deb -f "$dist/$deb" Depends)
  for p in "$@"; do
    grep -qE "(^|, )$p( |,|$)" <<<"$depends" || { echo "  Depends: $depends"; return 1; }
  done
}
if check "$deb is there" [ -f "$dist/$deb" ]; then
  check "$deb holds the program, its manual page and completions" deb_has \
    usr/bin/vormlan-cli usr/share/man/man1/vormlan-cli.1.gz \
    usr/share/bash-completion/completions/vormlan-cli usr/share/zsh/vendor-completions/_vormlan-cli \
    usr/share/doc/vormlan-cli/copyright
  check "$deb depends on libhivex0 and the C++ runtime" depends_on libhivex0 libstdc\\+\\+6
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: installing $deb (needs root)"
  elif check "$deb installs with apt-get" \
    apt-get install -y -q -o DPkg::Lock::Timeout=600 "$dist/$deb" >/dev/null; then
    check "the installed vormlan-cli --version" answers_version /usr/bin/vormlan-cli
    check "man -w finds the manual page" bash -c '[ "$(man -w vormlan-cli)" = /usr/share/man/man1/vormlan-cli.1.gz ]'
    check "$deb removes with apt-get" \
      apt-get remove -y -q -o DPkg::Lock::Timeout=600 vormlan-cli >/dev/null
    check "... and takes the program with it" [ ! -e /usr/bin/vormlan-cli ]
  fi
fi

echo "release archives: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
