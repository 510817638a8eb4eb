#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvane needs to build, run and test, when any is missing.
# Idempotent and never prompts.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev libxcb1-dev qt6-multimedia-dev libqt6multimedia6 qt6-qpa-plugins libgl-dev
  libcurl4-openssl-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  pulseaudio pulseaudio-utils chrony xvfb xauth xdotool x11-utils imagemagick desktop-file-utils
  openbox picom wmctrl xterm x11-xserver-utils x11-apps faketime
  xfwm4 xfce4-panel xfce4-settings xfconf dbus-daemon
  fonts-dejavu-core fonts-liberation python3 tzdata
  # making the bundled sounds
  espeak-ng sox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
