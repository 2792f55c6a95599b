#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the test suite.
# VOMAK_SANITIZE=1 builds the tests under AddressSanitizer and UBSan in build-asan instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
dir="$root/build-test"; extra=()
if [ "${VOMAK_SANITIZE:-0}" = 1 ]; then
  # Light optimisation keeps the sanitizer build quick and its reports close to the source.
  dir="$root/build-asan"; extra=(-DVOMAK_SANITIZE=ON -DVOMAK_BENCH=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g -DNDEBUG")
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOMAK_WERROR=ON "${extra[@]}" >/dev/null
cmake --build "$dir"
cd "$dir"
ctest --output-on-failure -j "$(nproc)" --timeout 300
