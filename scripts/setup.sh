#!/usr/bin/env bash
# Installs every Debian package Quorvel needs to build, run, test and package,
# non-interactively and only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-webengine-dev
  libcurl4-openssl-dev nlohmann-json3-dev libxlsxwriter-dev libexpected-dev libspdlog-dev
  libsqlite3-dev libcli11-dev
  libcpp-httplib-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils fonts-noto-cjk python3-openpyxl locales tzdata libnss3-tools
  librsvg2-bin desktop-file-utils appstream man-db lintian
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
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
