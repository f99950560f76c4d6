#!/usr/bin/env bash
# Installs what is missing, then checks and tests everything, as CI does:
# formatting and the layer order; the normal build with -Werror; the Debian
# package, built and checked without installing it; the core libraries,
# quorvel-cli and the Win32 window quorvel.exe cross-built for 64-bit Windows
# (without Qt), their tests and quorvel-cli's cases run under Wine, and the
# zip; a short run of each fuzz
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
# run_preset PRESET [TARGET...]: configures, builds (only the targets, when
# given) and runs the preset's tests.
run_preset() {
    local preset=$1
    shift
    echo "== ${preset} build ($(elapsed)) =="
    cmake --preset "${preset}" -DQUORVEL_WERROR=ON
    local build=(cmake --build --preset "${preset}" --parallel "${jobs}")
    if [ $# -gt 0 ]; then
        build+=(--target "$@")
    fi
    "${build[@]}"
    ctest --preset "${preset}" --parallel "${jobs}" --label-exclude wine
}

run_preset default
echo "== package ($(elapsed)) =="
bash scripts/check_package.sh
echo "== windows ($(elapsed)) =="
QUORVEL_WIN_TARGETS=x86_64-w64-mingw32 bash scripts/windows.sh all
echo "== fuzz ($(elapsed)) =="
bash scripts/fuzz.sh
run_preset asan
# ThreadSanitizer runs the threaded parts only (the tsan preset's filter);
# these are the executables that hold them.
run_preset tsan quorvel_platform_tests quorvel_harvest_tests quorvel_journal_tests \
    quorvel_shell_tests quorvel_main_window_tests quorvel_long_run_tests quorvel_line_count_tests
echo "== all passed in $(elapsed) =="
