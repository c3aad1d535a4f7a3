#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  libswresample-dev libavutil-dev libavcodec-dev libavformat-dev
  libmp3lame-dev libsdl2-dev
  libcurl4-openssl-dev zlib1g-dev
  nlohmann-json3-dev
  libflac-dev libopusenc-dev libopus-dev libtag1-dev flac opus-tools
  qt6-base-dev qt6-base-dev-tools libgl-dev
  ffmpeg lame xvfb x11-utils xauth
  mandoc man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
