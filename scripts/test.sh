#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds natively with
# AddressSanitizer and UBSan and runs every test; builds the native release
# (no sanitizers), installs it into a temporary prefix and checks the
# installed package, and runs the Python tests against that release build;
# then cross-builds for Windows x64 with MinGW-w64 and runs the same suite as
# Windows binaries under Wine.
#   scripts/test.sh            both
#   scripts/test.sh native     native only
#   scripts/test.sh windows    Windows only
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh

if [ "$what" = all ] || [ "$what" = native ]; then
  echo "== Native build (AddressSanitizer + UBSan) =="
  cmake --preset native-debug >/dev/null
  cmake --build --preset native-debug -j "$jobs"
  echo "== Native tests =="
  ctest --preset native-debug -j "$jobs"

  echo "== Native release: install test and Python tests =="
  cmake --preset native-release >/dev/null
  cmake --build --preset native-release -j "$jobs" --target svfplayer veltra svfplay
  tests/install/install_test.sh build/native-release
  # Debian's interpreter, the one python3-pytest installs for.
  SVFPLAYER_BUILD_DIR=build/native-release/bin /usr/bin/python3 -m pytest -q tests/python
fi

if [ "$what" = all ] || [ "$what" = windows ]; then
  echo "== Windows x64 cross build (MinGW-w64) =="
  cmake --preset windows-release >/dev/null
  cmake --build --preset windows-release -j "$jobs"
  echo "== Windows tests under Wine =="
  export WINEDEBUG=-all
  export WINEPREFIX=${WINEPREFIX:-$PWD/build/wineprefix}
  # First start creates the prefix; do it once, outside the timed tests.
  [ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
  ctest --preset windows-release
fi
