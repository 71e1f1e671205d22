#!/usr/bin/env bash
# Installs everything the build, the tests and the program need (Debian 12).
# Safe to run again: it only calls apt when a package is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6multimedia6
  qt6-qpa-plugins libgl-dev
  libgtest-dev googletest
  python3 python3-pyftpdlib
  clang libclang-rt-14-dev
  shared-mime-info desktop-file-utils
  xvfb xauth x11-utils trayer python3-xlib
  fonts-droid-fallback
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
