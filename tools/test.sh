#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the test suite.
# VOMAK_SANITIZE=1 builds the tests under AddressSanitizer and UBSan in build-asan instead.
# VOMAK_SANITIZE=thread builds the test programs of the threads' meeting points (the message queue and its waits,
# the pump, sound and music) under ThreadSanitizer in build-tsan and runs them; any report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
dir="$root/build-test"; extra=()
# Light optimisation keeps the sanitizer builds quick and their reports close to the source.
light="-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g -DNDEBUG"
if [ "${VOMAK_SANITIZE:-0}" = 1 ]; then
  dir="$root/build-asan"; extra=(-DVOMAK_SANITIZE=ON -DVOMAK_BENCH=OFF "$light")
elif [ "${VOMAK_SANITIZE:-0}" = thread ]; then
  dir="$root/build-tsan"; extra=(-DVOMAK_SANITIZE=thread -DVOMAK_BENCH=OFF "$light")
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOMAK_WERROR=ON "${extra[@]}" >/dev/null
if [ "${VOMAK_SANITIZE:-0}" = thread ]; then
  programs=(test_platform_host test_platform_win32 test_platform_directx test_platform_media test_core test_sound)
  cmake --build "$dir" --target "${programs[@]}"
  cd "$dir/tests"
  failed=0
  for program in "${programs[@]}"; do
    echo "== $program"
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
      TSAN_OPTIONS="second_deadlock_stack=1 suppressions=$root/tools/tsan.supp" "./$program" --gtest_brief=1 || failed=1
  done
  exit "$failed"
fi
cmake --build "$dir"
cd "$dir"
ctest --output-on-failure -j "$(nproc)"  # each test's time-out is its own (tests/CMakeLists.txt)
