#!/usr/bin/env bash
# Installs what is missing, then checks and tests everything, as CI does:
# formatting and the layer order; the normal build with -Werror; the Debian
# package, built and checked without installing it; the core libraries alone,
# without Qt; a short run of each fuzz target; the AddressSanitizer +
# UndefinedBehaviorSanitizer build; and the threaded parts (transport,
# harvest, window operations) under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

echo "== checks =="
bash scripts/check_format.sh
python3 scripts/check_layers.py

jobs=$(nproc 2>/dev/null || echo 2)
run_preset() {
    echo "== $1 build =="
    cmake --preset "$1" -DQUORVEL_WERROR=ON
    cmake --build --preset "$1" --parallel "${jobs}"
    ctest --preset "$1" --parallel "${jobs}" --label-exclude wine
}

run_preset default
echo "== package =="
bash scripts/check_package.sh
run_preset core
bash scripts/fuzz.sh
run_preset asan
run_preset tsan
