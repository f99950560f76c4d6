#!/usr/bin/env bash
# Cross-builds Quorvel's Qt-free core and quorvel-cli for Windows with MinGW-w64.
#
#   bash scripts/windows.sh [tools|deps|all]...     (default: all)
#
#   tools  installs what is missing: MinGW-w64, Wine (64- and 32-bit, the latter
#          through Debian's i386 multiarch), zlib for MinGW, and the deb-src
#          entries apt-get source needs
#   deps   builds the libraries Debian does not ship for MinGW from Debian's own
#          source packages (apt-get source), for each target, as static
#          libraries in a cache outside the repository:
#          ${QUORVEL_WIN_CACHE:-~/.cache/quorvel-windows}/<target>/prefix
#          Each library is built once per version and target; a stamp file
#          records it, so a second run rebuilds nothing.
#
# QUORVEL_WIN_TARGETS picks the targets (default: both), QUORVEL_JOBS the
# parallel jobs (default: 2).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
cache=${QUORVEL_WIN_CACHE:-$HOME/.cache/quorvel-windows}
jobs=${QUORVEL_JOBS:-2}
read -r -a targets <<<"${QUORVEL_WIN_TARGETS:-x86_64-w64-mingw32 i686-w64-mingw32}"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

log() { printf '== %s\n' "$*" >&2; }

# --- tools ------------------------------------------------------------------

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# apt-get source needs deb-src entries. Debian 12 keeps its sources in deb822
# form; "Types: deb" becomes "Types: deb deb-src" there. One-line sources get
# a matching deb-src file of their own.
enable_deb_src() {
    local changed=0 f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        if grep -qE '^Types:.*\bdeb\b' "$f" && grep -qE '^Types:' "$f" &&
            grep -E '^Types:' "$f" | grep -qv 'deb-src'; then
            as_root sed -i -E '/^Types:/{/deb-src/!s/$/ deb-src/}' "$f"
            changed=1
        fi
    done
    local list=/etc/apt/sources.list extra=/etc/apt/sources.list.d/quorvel-deb-src.list
    if [ -s "$list" ] && ! grep -qE '^deb-src ' "$list" && [ ! -e "$extra" ]; then
        grep -E '^deb ' "$list" | sed 's/^deb /deb-src /' | as_root tee "$extra" >/dev/null
        changed=1
    fi
    return $((1 - changed))
}

step_tools() {
    local update=0
    if enable_deb_src; then
        log "deb-src entries added to the apt sources"
        update=1
    fi
    local packages=(
        mingw-w64 libz-mingw-w64-dev wine wine64
        dpkg-dev cmake ninja-build pkg-config make xvfb zip googletest
    )
    local missing=() p
    for p in "${packages[@]}"; do
        installed "$p" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ] || [ $update -eq 1 ]; then
        export DEBIAN_FRONTEND=noninteractive
        as_root apt-get update -q
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        log "installing: ${missing[*]}"
        as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
    install_wine32
    log "tools: $(x86_64-w64-mingw32-g++-posix --version | head -1); $(WINEDEBUG=-all wine --version)"
}

# 32-bit Windows programs run under wine32, from Debian's i386 multiarch. It
# only works where the kernel runs 32-bit Linux programs; where it does not
# (some virtual machines switch IA-32 emulation off), /usr/lib/wine/wine from
# wine32 cannot start, and because /usr/bin/wine prefers it, installing wine32
# there would break 64-bit Wine too. So the i386 C library goes first, and
# wine32 follows only when its loader runs.
can_run_i386() {
    [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

install_wine32() {
    if installed wine32:i386; then
        can_run_i386 && return 0
        log "wine32 is installed but this kernel cannot run 32-bit programs; removing it so wine64 keeps working"
        as_root apt-get remove -y -q wine32:i386
        return 0
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        log "adding the i386 architecture (for wine32)"
        as_root dpkg --add-architecture i386
        as_root apt-get update -q
    fi
    installed libc6:i386 || as_root apt-get install -y -q --no-install-recommends libc6:i386
    if can_run_i386; then
        log "installing wine32"
        as_root apt-get install -y -q --no-install-recommends wine32:i386
    else
        log "this kernel cannot run 32-bit programs (IA-32 emulation is off): wine32 is not installed and the i686 build is not tested here"
    fi
}

# --- main -------------------------------------------------------------------

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(all)
for s in "${steps[@]}"; do
    case "$s" in
    tools) step_tools ;;
    deps) step_deps ;;
    all)
        step_tools
        step_deps
        ;;
    *)
        echo "unknown step: $s (tools, deps, all)" >&2
        exit 2
        ;;
    esac
done
