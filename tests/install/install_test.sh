#!/usr/bin/env bash
# Installs a release build into a temporary prefix and checks the installed
# tree the way an integrator uses it: the example C host (examples/host)
# builds once through find_package(svfplayer) and once through pkg-config and
# plays the examples on the embedded simulator; svfplay runs from the prefix;
# the man page renders. The build must not use sanitizers (a host linked
# against an ASan library stops at start).
#   tests/install/install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
cd "$(dirname "$0")/../.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
svf=examples/svf

fail() { echo "install test: $*" >&2; exit 1; }
# expect STATUS COMMAND...: the command's exit status must be STATUS.
expect() {
  local want=$1 got=0
  shift
  "$@" >"$work/out.txt" 2>&1 || got=$?
  [ "$got" -eq "$want" ] || { cat "$work/out.txt" >&2; fail "'$*' exited $got, not $want"; }
}

cmake --install "$build" --prefix "$prefix" >/dev/null
version=$(sed -n 's/^#define SVFPLAYER_VERSION_STRING "\(.*\)"$/\1/p' \
  "$prefix/include/svfplayer/svf_player.h")
major=${version%%.*}
readelf -d "$prefix/lib/libsvfplayer.so.$major" | grep -q "SONAME.*\[libsvfplayer.so.$major\]" ||
  fail "libsvfplayer.so.$major does not carry its soname"

# Through the CMake package.
cmake -S examples/host -B "$work/by-cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/by-cmake" >/dev/null
expect 0 "$work/by-cmake/svfplayer_host" "$svf/idcode.svf"
grep -q "^Result: PASS (result code 0), player $version$" "$work/out.txt" || fail "find_package host"

# Through pkg-config.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
[ "$(pkg-config --modversion svfplayer)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2046  # the flags are words
cc -std=c99 -Wall -Wextra -Wpedantic -Werror examples/host/host.c -o "$work/by-pkg-config" \
  $(pkg-config --cflags --libs svfplayer)
LD_LIBRARY_PATH=$prefix/lib expect 1 "$work/by-pkg-config" "$svf/idcode_fail.svf"
grep -q "^Result: FAIL (result code 1)" "$work/out.txt" || fail "pkg-config host"

# svfplay finds the libraries in ../lib; man renders its page.
expect 0 "$prefix/bin/svfplay" "$svf/idcode.svf"
expect 0 "$prefix/bin/svfplay" --version
grep -q "^player: .*libsvfplayer.so.$major ($version)$" "$work/out.txt" || fail "svfplay --version"
MANWIDTH=80 man -l "$prefix/share/man/man1/svfplay.1" 2>&1 | grep -q "play an SVF file" ||
  fail "the man page does not render"
echo "install test: passed ($prefix)"
