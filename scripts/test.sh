#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test in the normal
# build and in the AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in default asan; do
  echo "== ${preset} build =="
  cmake --preset "${preset}"
  cmake --build --preset "${preset}" --parallel "${jobs}"
  ctest --preset "${preset}" --parallel "${jobs}"
done
