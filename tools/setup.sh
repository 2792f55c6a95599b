#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the game need, when any is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libsdl2-dev libpng-dev libjpeg-dev zlib1g-dev libogg-dev libvorbis-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-dejavu-core fonts-urw-base35 fonts-nanum
  libpixman-1-dev imagemagick valgrind
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libfluidsynth-dev timgm6mb-soundfont
  libmpg123-dev sox lame vorbis-tools libsdl2-mixer-dev libmp3lame-dev libsdl2-ttf-dev
  xvfb xauth openbox libx11-dev libxext-dev libxtst-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
lock_wait=600
# apt-get update gives up at once while another package manager holds the lists lock, so it is retried here;
# apt-get install waits for the dpkg lock itself.
update_waiting() {
  local waited=0 out
  while ! out=$("${sudo_cmd[@]}" apt-get update -qq 2>&1); do
    if ! grep -q -E 'Could not get lock|Unable to lock' <<<"$out" || [ "$waited" -ge "$lock_wait" ]; then
      printf '%s\n' "$out" >&2
      return 1
    fi
    [ "$waited" -eq 0 ] && echo "Another package manager holds the package lists; waiting up to $((lock_wait / 60)) minutes."
    sleep 5
    waited=$((waited + 5))
  done
}
echo "Installing: ${missing[*]}"
update_waiting
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  -o DPkg::Lock::Timeout="$lock_wait" "${missing[@]}"
