#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and run the interface library
# (clang with its libFuzzer runtime builds the fuzz targets; dpkg-dev gives
# dpkg-shlibdeps, which finds the Debian package's dependencies).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev qt6-base-dev libgl-dev libsodium-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-dbf perl libdbd-xbase-perl
  dpkg-dev
  qt6-translations-l10n
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
