#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks the formatting
# (clang-format-14), builds natively with AddressSanitizer and UBSan and runs
# every test and the differential run against OpenOCD (tests/peer); builds
# the native release (no sanitizers), installs it into a temporary prefix and
# checks the installed package, and runs the Python tests against that release
# build; with clang present, runs each fuzz target of fuzz/ for about 30
# seconds; then cross-builds for Windows x64 with MinGW-w64 and runs the same
# suite as Windows binaries under Wine.
#   scripts/test.sh            both
#   scripts/test.sh native     native only
#   scripts/test.sh windows    Windows only
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh

echo "== Format check (clang-format-14, .clang-format) =="
{ git ls-files -z '*.c' '*.cpp' '*.h' 2>/dev/null ||
  find . -path ./build -prune -o \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print0; } |
  xargs -0 clang-format-14 --dry-run -Werror

if [ "$what" = all ] || [ "$what" = native ]; then
  echo "== Native build (AddressSanitizer + UBSan) =="
  cmake --preset native-debug >/dev/null
  cmake --build --preset native-debug -j "$jobs"
  echo "== Native tests =="
  ctest --preset native-debug -j "$jobs"

  echo "== svfplay and OpenOCD on the served board (examples, 30 random files) =="
  # The full run: tests/peer/differential.py --random 200
  python3 tests/peer/differential.py --build build/native-debug --random 30 --seed 1

  echo "== Native release: install test and Python tests =="
  cmake --preset native-release >/dev/null
  cmake --build --preset native-release -j "$jobs" --target svfplayer veltra svfplay
  tests/install/install_test.sh build/native-release
  # Debian's interpreter, the one python3-pytest installs for.
  SVFPLAYER_BUILD_DIR=build/native-release/bin /usr/bin/python3 -m pytest -q tests/python tests/scripts

  if command -v clang++ >/dev/null; then
    echo "== Fuzzing (libFuzzer, 30 s a target) =="
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j "$jobs" --target fuzz_svf fuzz_cnn fuzz_pio
    for target in svf cnn pio; do
      # New inputs go to a scratch corpus; a crash input is left in fuzz/ as
      # crash-*: keep it under fuzz/seeds/$target so the native suite replays it.
      corpus=$(mktemp -d)
      build/fuzz/bin/fuzz_$target -max_total_time=30 -dict=fuzz/$target.dict \
        -artifact_prefix=fuzz/ "$corpus" fuzz/seeds/$target
      rm -rf "$corpus"
    done
  fi
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
