#!/usr/bin/env bash
# Installs the Debian packages Quorvel needs, non-interactively and only those
# that are missing (nothing at all, not even `apt-get update`, when none is).
#
#   bash scripts/setup.sh [GROUP...]      (default: every group)
#
#   checks   the format and layer checks
#   core     building and testing the core libraries and quorvel-cli
#   window   the Qt window, its tests on a virtual display, its launcher
#   package  checking the Debian package
#   fuzz     the fuzz targets (clang with its sanitizer runtimes)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

packages_of() {
    case "$1" in
    checks) echo clang-format python3 git ;;
    core)
        echo build-essential cmake ninja-build pkg-config ccache python3 \
            libcurl4-openssl-dev nlohmann-json3-dev libxlsxwriter-dev libexpected-dev \
            libspdlog-dev libsqlite3-dev libcli11-dev libcpp-httplib-dev libssl-dev \
            libgtest-dev libgmock-dev libbenchmark-dev libicu-dev python3-openpyxl locales tzdata \
            man-db
        ;;
    window)
        echo qt6-base-dev qt6-webengine-dev xvfb xauth x11-utils fonts-noto-cjk \
            libnss3-tools librsvg2-bin desktop-file-utils appstream
        ;;
    package) echo lintian ;;
    fuzz) echo clang libclang-rt-14-dev ;;
    *)
        echo "unknown group: $1 (checks, core, window, package, fuzz)" >&2
        return 2
        ;;
    esac
}

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(checks core window package fuzz)
packages=()
for group in "${groups[@]}"; do
    packages_of "$group" >/dev/null || exit 2
    read -r -a more <<<"$(packages_of "$group")"
    packages+=("${more[@]}")
done
need_packages "${packages[@]}"
