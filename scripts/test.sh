#!/usr/bin/env bash
# Installs what is missing, then checks and tests Quorvel in stages:
#
#   bash scripts/test.sh [STAGE...]
#
#   checks   formatting and the layer order
#   core     the core libraries and quorvel-cli without Qt, and their tests:
#            the quickest whole check of the core
#   default  the normal build with -Werror and every test (the windows, the
#            command line, the installed tree, each benchmark once at a tiny size)
#   package  the Debian package, built and checked without installing it
#   windows  the core, quorvel-cli and the Win32 window quorvel.exe cross-built
#            for 64-bit Windows, their tests, and quorvel-cli's and the window's
#            cases under Wine (against the default build), the zip, and the
#            installer checked under Wine
#   fuzz     FUZZ_SECONDS (60) of each fuzz target
#   asan     the AddressSanitizer + UndefinedBehaviorSanitizer build and its tests
#   tsan     the tests labelled "threaded" under ThreadSanitizer
#
# With no stage, every stage but core runs, quickest failures first (the
# windows stage builds the Qt-free core anyway): this is what CI runs. At the
# end a table gives each stage's time. The 32-bit Windows build is left to
# scripts/windows.sh run by hand (QUORVEL_WIN_TARGETS): Wine cannot run it on
# machines without IA-32 emulation.
#
# Every build goes through ccache, its cache outside the repository
# (~/.cache/ccache unless CCACHE_DIR says otherwise), so a second run compiles
# only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

all_stages=(checks core default package windows fuzz asan tsan)
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(checks default package windows fuzz asan tsan)
for stage in "${stages[@]}"; do
    [[ " ${all_stages[*]} " == *" $stage "* ]] || {
        echo "unknown stage: $stage (${all_stages[*]})" >&2
        exit 2
    }
done

# The package groups of scripts/setup.sh each stage needs.
groups=()
for stage in "${stages[@]}"; do
    case "$stage" in
    checks) groups+=(checks) ;;
    core) groups+=(core) ;;
    default | asan | tsan | windows) groups+=(core window) ;;
    package) groups+=(core window package) ;;
    fuzz) groups+=(core fuzz) ;;
    esac
done
mapfile -t groups < <(printf '%s\n' "${groups[@]}" | sort -u)
bash scripts/setup.sh "${groups[@]}"

export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
# Paths relative to the checkout, so that a fresh clone elsewhere hits the cache.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
# (The checks stage alone installs no compiler and no ccache.)
if command -v ccache >/dev/null; then
    ccache --zero-stats >/dev/null
fi
jobs=$(nproc 2>/dev/null || echo 2)

# run_preset PRESET: configures, builds and runs the preset's tests.
run_preset() {
    cmake --preset "$1" -DQUORVEL_WERROR=ON
    cmake --build --preset "$1" --parallel "${jobs}"
    ctest --preset "$1" --parallel "${jobs}"
}

run_stage() {
    case "$1" in
    checks)
        bash scripts/check_format.sh
        python3 scripts/check_layers.py
        ;;
    core | default | asan | tsan) run_preset "$1" ;;
    package) bash scripts/check_package.sh ;;
    windows) QUORVEL_WIN_TARGETS=x86_64-w64-mingw32 bash scripts/windows.sh all ;;
    fuzz) bash scripts/fuzz.sh ;;
    esac
}

clock() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }

times=()
report() {
    local status=$1 i
    echo
    echo "stage      time"
    for i in "${!times[@]}"; do
        printf '%-10s %s\n' "${stages[$i]}" "${times[$i]}"
    done
    printf '%-10s %s\n' total "$(clock "$SECONDS")"
    if [ "$status" -eq 0 ]; then
        echo "== all stages passed: ${stages[*]} =="
    fi
}

for stage in "${stages[@]}"; do
    echo "== ${stage} ($(clock "$SECONDS")) =="
    start=$SECONDS
    if ! run_stage "$stage"; then
        times+=("$(clock $((SECONDS - start))) FAILED")
        report 1
        echo "== stage ${stage} failed ==" >&2
        exit 1
    fi
    times+=("$(clock $((SECONDS - start)))")
done
ccache --show-stats 2>/dev/null | grep -E '^ *(Hits|Misses):' | sed 's/^ */ccache: /' || true
report 0
