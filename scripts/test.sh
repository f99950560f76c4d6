#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build,
# a short run of each fuzz target, and the AddressSanitizer +
# UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
run_preset() {
  echo "== $1 build =="
  cmake --preset "$1"
  cmake --build --preset "$1" --parallel "${jobs}"
  ctest --preset "$1" --parallel "${jobs}"
}

run_preset default
bash scripts/fuzz.sh
run_preset asan
