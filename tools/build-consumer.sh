#!/usr/bin/env bash
# Builds the two-file program in tests/consumer against the library both ways a user would: from the package that
# `cmake --install` of build-test puts in a scratch prefix (find_package and pkg-config), and with the checkout
# embedded through add_subdirectory. Run after tools/test.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --install "$root/build-test" --prefix "$work/prefix" >/dev/null
cmake -S "$root/tests/consumer" -B "$work/installed" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/installed" >/dev/null
PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" c++ -std=c++20 -fexec-charset=CP932 "$root/tests/consumer/main.cpp" \
  -o "$work/app-pc" $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs vomak)
# Embedded with no build type, as a consumer's first build is: the library alone, optimised all the same.
cmake -S "$root/tests/consumer" -B "$work/embedded" -G Ninja -DVOMAK_SOURCE="$root" >/dev/null
targets=$(ninja -C "$work/embedded" -t targets all)
if grep -q -E '^(vomak_play|qelt|test_|vomak_bench)' <<<"$targets"; then
  echo "consumer: the embedded checkout builds more than the library" >&2
  exit 1
fi
commands=$(ninja -C "$work/embedded" -t commands app)
if ! grep -q -E ' -O2 .*/src/core/' <<<"$commands"; then
  echo "consumer: the embedded library is not optimised" >&2
  exit 1
fi
cmake --build "$work/embedded" >/dev/null
echo "consumer: built with find_package, pkg-config and add_subdirectory"
