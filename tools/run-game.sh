#!/usr/bin/env bash
# Builds the game (the library, the program and its generated pictures and sounds) and runs it in a real window.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
build="$root/build"
# One compile job per core, fewer where memory is short (an optimised unit can take about a gigabyte).
jobs=$(nproc)
mem_jobs=$(( $(awk '/MemAvailable/ {print $2}' /proc/meminfo) / 1048576 ))
[ "$mem_jobs" -ge 1 ] && [ "$mem_jobs" -lt "$jobs" ] && jobs=$mem_jobs
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOMAK_TESTS=OFF -DVOMAK_BENCH=OFF \
  -DVOMAK_GAME=ON >/dev/null
echo "Building the game ($jobs jobs; the log is $build/build.log)..."
if ! cmake --build "$build" --target qelt -j "$jobs" >"$build/build.log" 2>&1; then
  tail -n 40 "$build/build.log"
  echo "The build failed; the whole log is $build/build.log" >&2
  exit 1
fi
cd "${QELT_DATA_DIR:-$build}"
# Named as the user started this script, so advice the program gives with its own name (how to run it without a
# display) names the script, which works from where the user is; the program alone needs this directory.
exec -a "$0" "$build/qelt"
