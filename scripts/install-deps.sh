#!/usr/bin/env bash
# Installs what the build (and, with --test, the tests) need and is not installed yet.
# Debian 12; runs apt-get non-interactively, through sudo when not root.
set -euo pipefail

build_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-wayland fonts-dejavu-core
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libdeflate-dev libgif-dev libopenjp2-7-dev
  libwebp-dev libavif-dev libheif-dev libjxl-dev libraw-dev librsvg2-dev
  xdg-utils
  librsvg2-bin
)
test_packages=(
  googletest libgtest-dev
  clang libclang-rt-dev clang-format
  imagemagick graphicsmagick netpbm libtiff-tools libopenjp2-tools python3-pil libvips-tools
  xvfb xdotool x11-utils x11-xserver-utils openbox weston desktop-file-utils time emf2svg dbus-daemon
  webp libavif-bin libheif-examples libjxl-tools e2fsprogs
  appstream man-db bsdextrautils lintian zsh fish
)

packages=("${build_packages[@]}")
if [[ "${1:-}" == "--test" ]]; then
  packages+=("${test_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
