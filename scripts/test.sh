#!/usr/bin/env bash
# Installs what is missing, then checks and tests everything, as CI does:
# formatting and the layer order; the normal build with -Werror; the Debian
# package, built and checked without installing it; the core libraries and
# quorvel-cli cross-built for 64-bit Windows (without Qt), their tests and
# quorvel-cli's cases run under Wine, and the zip; a short run of each fuzz
# target; the AddressSanitizer + UndefinedBehaviorSanitizer build; and the
# threaded parts (transport, harvest, window operations) under
# ThreadSanitizer. The 32-bit Windows build is left to scripts/windows.sh
# run by hand: Wine cannot run it on machines without IA-32 emulation, and
# its dependencies would add minutes to every fresh machine.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each step's start is said with the minutes and seconds gone so far.
elapsed() { printf '%d:%02d' $((SECONDS / 60)) $((SECONDS % 60)); }

bash scripts/setup.sh

echo "== checks ($(elapsed)) =="
bash scripts/check_format.sh
python3 scripts/check_layers.py

jobs=$(nproc 2>/dev/null || echo 2)
run_preset() {
    echo "== $1 build ($(elapsed)) =="
    cmake --preset "$1" -DQUORVEL_WERROR=ON
    cmake --build --preset "$1" --parallel "${jobs}"
    ctest --preset "$1" --parallel "${jobs}" --label-exclude wine
}

run_preset default
echo "== package ($(elapsed)) =="
bash scripts/check_package.sh
echo "== windows ($(elapsed)) =="
QUORVEL_WIN_TARGETS=x86_64-w64-mingw32 bash scripts/windows.sh all
echo "== fuzz ($(elapsed)) =="
bash scripts/fuzz.sh
run_preset asan
run_preset tsan
echo "== all passed in $(elapsed) =="
