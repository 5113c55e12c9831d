#!/usr/bin/env bash
# Installs the Debian packages DOR needs to build, test and run, only the
# ones that are missing. Safe to run again; needs root (or sudo) for apt-get.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  freeglut3-dev libglu1-mesa-dev libglew-dev libimgui-dev
  libgl1-mesa-dri xvfb xauth xdotool imagemagick x11-utils ffmpeg
  libpng-dev libgtest-dev libbenchmark-dev libtinyobjloader-dev libstb-dev
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
