#!/usr/bin/env bash
# Installs what is missing, builds the two programs in Release with Debian's
# hardening flags (the `package` preset) and writes the Debian package
# build/package/quorvel_<version>_<architecture>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh core window package

cmake --preset package "$@"  # extra cache settings, e.g. -DQUORVEL_WERROR=ON
cmake --build --preset package --parallel "$(nproc 2>/dev/null || echo 2)"
rm -f build/package/quorvel_*.deb
cpack --preset package
