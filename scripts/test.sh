#!/usr/bin/env bash
# The whole test suite: installs the dependencies, builds both presets and
# runs every test, natively and under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

cmake --preset win32
cmake --build --preset win32
ctest --preset win32
