#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the game need, when any is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libsdl2-dev libpng-dev libjpeg-dev zlib1g-dev libogg-dev libvorbis-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-dejavu-core
  libpixman-1-dev imagemagick valgrind
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  fonts-dejavu-core libvorbis-dev
  libfluidsynth-dev timgm6mb-soundfont
  libmpg123-dev libvorbis-dev sox lame vorbis-tools libsdl2-mixer-dev libmp3lame-dev
  fonts-urw-base35 fonts-nanum libsdl2-ttf-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
