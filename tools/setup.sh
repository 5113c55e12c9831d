#!/usr/bin/env bash
# Installs the Debian packages DOR needs to build, test and run, only the
# ones that are missing. Safe to run again; needs root (or sudo) for apt-get.
#   setup.sh [--tests]
# --tests adds what only the tests use: Blender (whose glTF importer needs
# numpy), Node.js and, into build/node_modules, the npm package
# gltf-validator (the Khronos glTF-Validator).
set -euo pipefail
cd "$(dirname "$0")/.."
tests=false
[ "${1:-}" = "--tests" ] && tests=true

PACKAGES=(
  cmake g++ make pkg-config
  freeglut3-dev libglu1-mesa-dev libglew-dev libimgui-dev
  libgl1-mesa-dri xvfb xauth xdotool imagemagick x11-utils ffmpeg
  libpng-dev libgtest-dev libbenchmark-dev libtinyobjloader-dev libstb-dev
  clang libclang-rt-14-dev
)
if $tests; then
  PACKAGES+=(blender python3-numpy)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# A Node.js from elsewhere than Debian brings its own npm.
if $tests && ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The validator version the export was checked with; the tests look for it
# in build/node_modules.
VALIDATOR=gltf-validator@2.0.0-dev.3.10
if $tests && [ ! -f build/node_modules/gltf-validator/package.json ]; then
  echo "setup: installing $VALIDATOR into build/node_modules"
  mkdir -p build
  npm install --prefix build --no-audit --no-fund --loglevel=error "$VALIDATOR" >/dev/null
fi
