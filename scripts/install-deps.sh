#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Safe to run again: it only installs what is missing. dpkg-dev gives the
# Debian package its dependencies (dpkg-shlibdeps); man-db lets the release
# test find its manual page. libssl-dev hashes and signs catalogs; openssl and
# osslsigncode make and verify them in the tests.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

packages=(
  cmake ninja-build g++ pkg-config clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libhivex-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick
  fonts-wine file python3 bsdutils xz-utils
  clang-14 libclang-rt-14-dev time
  dpkg-dev man-db
  libssl-dev openssl osslsigncode
)

missing=()
if dpkg --print-foreign-architectures | grep -qx i386; then
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
else
  $SUDO dpkg --add-architecture i386
  missing=("${packages[@]}")
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
