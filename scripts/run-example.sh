#!/usr/bin/env bash
# Builds the native release and plays the IDCODE example on veltra-sim's
# built-in board with svfplay; exits with svfplay's status (0 PASS, 1 FAIL,
# 2 ERROR).
#   scripts/run-example.sh                 the IDCODE example
#   scripts/run-example.sh FILE [OPTIONS]  another SVF file and svfplay options
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j 2 --target svfplay

svf=${1:-examples/svf/idcode.svf}
[ $# -gt 0 ] && shift
echo "== svfplay $svf $* =="
status=0
build/native-release/bin/svfplay "$@" "$svf" || status=$?
exit "$status"
