#!/usr/bin/env bash
# Installs what building, running and testing Quarnel needs, from Debian's
# packages. Safe to run again: it only asks apt for packages that are missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev libqt5serialport5-dev
  libqcustomplot-dev libeasyloggingpp-dev
  libxlsxwriter-dev libminizip-dev libxml2-dev
  fonts-noto-cjk
  xvfb xauth x11-utils imagemagick
  xdotool
  python3 python3-openpyxl python3-pil
  locales
  poppler-utils
)
# The test run also builds the fuzz targets, which need clang's libFuzzer.
if [ "${QUARNEL_TEST:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [ "${QUARNEL_BENCH:-0}" = 1 ]; then
  packages+=(python3-statsmodels python3-numpy)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
