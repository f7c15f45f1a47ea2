#!/usr/bin/env bash
# Installs the Debian 12 packages that velnorex needs to build, run and test; does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev qt6-serialport-dev
  qt6-charts-dev libqt6opengl6-dev
  # The translations: lupdate and lrelease, and the CMake package that runs them.
  qt6-l10n-tools qt6-tools-dev qt6-tools-dev-tools
  libgtest-dev
  # pymodbus only recommends serial_asyncio, without which its serial server cannot start.
  libmodbus-dev python3 python3-pymodbus python3-serial python3-serial-asyncio socat
  xvfb xauth fonts-dejavu-core
  # The package: cpack's DEB generator computes the dependencies with dpkg-shlibdeps and needs file(1).
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
