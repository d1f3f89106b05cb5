#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the demo need and the
# machine does not have yet. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-serialport-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format clang-tidy clang-14 libclang-rt-14-dev
  xvfb xauth xdotool imagemagick socat  # the Wine run: clicks, screenshots, the port pair's relay
  g++-mingw-w64-x86-64-posix wine64 fonts-wine googletest  # the Windows cross-build, its tests under Wine
  locales
  lintian appstream desktop-file-utils dpkg-dev fakeroot librsvg2-bin file  # the Debian package, its checks
  nsis icoutils  # the Windows installer
  python3 binutils  # scripts/mutate.py (nm tells which test programs link a mutated file)
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

# The number writer's locale test runs under a Spanish locale (decimal comma), as the labs' machines.
if ! locale -a 2>/dev/null | grep -qix 'es_ES.utf8'; then
  echo "Generating the es_ES.UTF-8 locale"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo sed -i 's/^# *\(es_ES.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'es_ES.UTF-8 UTF-8' /etc/locale.gen || echo 'es_ES.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
