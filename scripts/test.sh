#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds natively with
# AddressSanitizer and UBSan and runs every test, then cross-builds for
# Windows x64 with MinGW-w64 and runs the same suite as Windows binaries
# under Wine; with clang present, it also runs each fuzz target of fuzz/ for
# about 30 seconds.
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
