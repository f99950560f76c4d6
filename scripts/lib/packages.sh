# Installing Debian packages for the scripts, sourced by them.
#
#   need_packages PACKAGE...
#
# installs those of the packages that are not installed yet, and does nothing
# at all (not even `apt-get update`) when every one is. The archive is not
# always whole: a mirror being re-synced makes `apt-get update` fail for one
# index while the rest are fine. So an update that fails is tried once more
# and then only warned about, naming the indexes that failed; what fails the
# script is a needed package that cannot be installed, named with apt's
# reason. One `apt-get update` serves every script of one test run
# (QUORVEL_APT_UPDATED is exported once it ran).

_pk_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

_pk_apt() {
    DEBIAN_FRONTEND=noninteractive _pk_as_root apt-get -q -o DPkg::Lock::Timeout=600 "$@"
}

# Whether a package (NAME or NAME:ARCH) is installed.
package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# The indexes an `apt-get update` log says could not be fetched.
_pk_failed_indexes() {
    sed -n -E 's/^Err:[0-9]+ +(.*[^ ]) *$/\1/p' "$1" | sort -u
}

# `apt-get update`, once per test run, tried twice; a failure is a warning.
apt_update() {
    [ -z "${QUORVEL_APT_UPDATED:-}" ] || return 0
    local log try
    log=$(mktemp)
    for try in 1 2; do
        if _pk_apt update >"$log" 2>&1 && ! grep -qE '^(W|E): Failed to fetch' "$log"; then
            break
        fi
        if [ "$try" -eq 1 ]; then
            echo "apt-get update failed; trying once more in 10 s" >&2
            sleep 10
        else
            echo "warning: apt-get update could not fetch these indexes; going on with what apt has:" >&2
            _pk_failed_indexes "$log" | sed 's/^/warning:   /' >&2
            grep -E '^(E|W): ' "$log" | sed 's/^/warning:   apt: /' >&2
        fi
    done
    rm -f "$log"
    export QUORVEL_APT_UPDATED=1
}

# Installs the named packages that are missing. Fails, naming each package
# that could not be installed and why, only when one of them could not be.
need_packages() {
    local missing=() p
    for p in "$@"; do
        package_installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "installing: ${missing[*]}" >&2
    apt_update
    local log
    log=$(mktemp)
    if _pk_apt install -y --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
        rm -f "$log"
        return 0
    fi
    # One at a time, so that the ones apt can install are installed and the
    # ones it cannot are named with apt's own reason.
    local failed=()
    for p in "${missing[@]}"; do
        package_installed "$p" && continue
        if ! _pk_apt install -y --no-install-recommends "$p" >"$log" 2>&1; then
            failed+=("$p")
            echo "error: cannot install $p:" >&2
            grep -E '^(E|W): ' "$log" | sed 's/^/error:   apt: /' >&2 ||
                tail -n 5 "$log" | sed 's/^/error:   /' >&2
        fi
    done
    rm -f "$log"
    if [ ${#failed[@]} -gt 0 ]; then
        echo "error: needed packages could not be installed: ${failed[*]}" >&2
        return 1
    fi
}
