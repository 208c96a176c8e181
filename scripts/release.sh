#!/usr/bin/env bash
# Makes the release archives in dist/, named with the version of project()
# in CMakeLists.txt:
#   vormlan-<version>-win32.zip                 vormlan.exe, vormlan-cli.exe (i686),
#                                               README.md, LICENSE
#   vormlan-<version>-win64.zip                 the same for x86_64
#   vormlan-cli-<version>-linux-x86_64.tar.gz   vormlan-cli for Linux, README.md, LICENSE
#   vormlan-cli_<version>_amd64.deb             the Debian package of vormlan-cli, with
#                                               its manual page and completions
# from the builds of the presets linux, win32 and win64 (configured here when
# missing; only the programs are built). CPack packs each build
# (cmake/Packaging.cmake). tests/release/archive_test.sh tests the result.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${VORMLAN_JOBS:-2}"
mkdir -p dist
for preset in linux win32 win64; do
  build="build/$preset"
  if [ "$preset" = linux ]; then targets=(vormlan-cli vormlan-cli-man); else targets=(vormlan vormlan-cli); fi
  if [ ! -f "$build/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null
  fi
  cmake --build "$build" -j "$jobs" --target "${targets[@]}"
  rm -rf "$build/package"
  cpack --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null
  for archive in "$build"/package/*.zip "$build"/package/*.tar.gz "$build"/package/*.deb; do
    [ -e "$archive" ] || continue
    mv -f "$archive" dist/
    echo "dist/$(basename "$archive")"
  done
done
