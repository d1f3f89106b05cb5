#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the demo need and the
# machine does not have yet. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format clang-tidy clang-14 libclang-rt-14-dev
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
