#!/usr/bin/env bash
# Builds everything and runs the game in a real window.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build"
cd "${QELT_DATA_DIR:-$root/build}"
exec "$root/build/qelt"
