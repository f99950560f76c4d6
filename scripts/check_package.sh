#!/usr/bin/env bash
# Builds the Debian package and checks it without installing it: its control
# fields and Depends, its contents, lintian, and the package unpacked into a
# scratch root (the installed tree's checks, both programs' --version among
# them). tests/packaging/ holds the checks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/package.sh -DQUORVEL_WERROR=ON
debs=(build/package/quorvel_*.deb)
/usr/bin/python3 tests/packaging/check_package.py build/package/packaging/facts.json "${debs[0]}"
