#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the program need.
# Idempotent: asks apt only for what is missing, so a second run costs a second.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev googletest
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libavfilter-dev libavdevice-dev libavcodec-extra59
  libsdl2-dev libsdl2-2.0-0
  qt6-base-dev
  libgif-dev
  fonts-noto-cjk
  xvfb
  # clang with its sanitizer and libFuzzer runtimes, for make fuzz
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
