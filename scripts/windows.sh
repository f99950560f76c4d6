#!/usr/bin/env bash
# Cross-builds Quorvel's Qt-free core, quorvel-cli and the Win32 window quorvel.exe
# for Windows with MinGW-w64.
#
#   bash scripts/windows.sh [tools|deps|build|test|dist|installer|screenshot|all]...   (default: all)
#
#   tools  installs what is missing: MinGW-w64, 64-bit Wine, zlib for MinGW,
#          the icon tools (rsvg-convert, icotool) and NSIS;
#          for the 32-bit target also Debian's i386 architecture and wine32,
#          where this machine can run 32-bit programs
#   deps   builds the libraries Debian does not ship for MinGW from Debian's own
#          source packages (apt-get source), for each target, as static
#          libraries in a cache outside the repository:
#          ${QUORVEL_WIN_CACHE:-~/.cache/quorvel-windows}/<target>/prefix
#          Each library is built once per version and target; a stamp file
#          records it, so a second run rebuilds nothing. The deb-src entries
#          apt-get source needs are added only when something must be built.
#   build  builds Quorvel (core libraries, quorvel-cli.exe, quorvel.exe, the tests) for
#          each target into build/windows-<target>, warnings as errors
#   test   runs the Windows test executables under Wine, then quorvel-cli.exe
#          and the window quorvel.exe (on Xvfb, worked by a driver program)
#          under Wine against the fake marketplace running natively on Linux
#          (the Linux build in build/default compares them with its own core)
#   dist   packs dist/quorvel-<version>-win64.zip (and -win32.zip), the portable form
#   installer  makes dist/quorvel-<version>-win64-setup.exe (and -win32-setup.exe)
#          with NSIS and checks it under Wine: installed, run, installed
#          again and uninstalled in a scratch prefix
#   all    all of the above, in that order
#   screenshot  (not part of all) docs/images/windows-window.png and
#          windows-sign-in.png: the 64-bit window under Wine after a small
#          harvest, and its sign-in dialog
#
# QUORVEL_WIN_TARGETS picks the targets: x86_64-w64-mingw32 (the default),
# i686-w64-mingw32, or both separated by a space. QUORVEL_JOBS sets the
# parallel jobs (default: the number of cores).
set -Eeuo pipefail
# A step that fails says which command failed, where.
trap 'echo "error: windows.sh line $LINENO: \"$BASH_COMMAND\" failed" >&2' ERR
cd "$(dirname "$0")/.."
repo=$PWD
cache=${QUORVEL_WIN_CACHE:-$HOME/.cache/quorvel-windows}
jobs=${QUORVEL_JOBS:-$(nproc 2>/dev/null || echo 2)}
read -r -a targets <<<"${QUORVEL_WIN_TARGETS:-x86_64-w64-mingw32}"
for target in "${targets[@]}"; do
    case "$target" in
    x86_64-w64-mingw32 | i686-w64-mingw32) ;;
    *)
        echo "unknown target in QUORVEL_WIN_TARGETS: $target (x86_64-w64-mingw32, i686-w64-mingw32)" >&2
        exit 2
        ;;
    esac
done
source "$repo/scripts/lib/packages.sh"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

wants_i686() { [[ " ${targets[*]} " == *" i686-w64-mingw32 "* ]]; }

log() { printf '== %s\n' "$*" >&2; }

# --- tools ------------------------------------------------------------------

installed() { package_installed "$1"; }

# apt-get source needs deb-src entries. Debian 12 keeps its sources in deb822
# form; "Types: deb" becomes "Types: deb deb-src" there. One-line sources get
# a matching deb-src file of their own. Says whether anything was added.
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
    need_packages mingw-w64 libz-mingw-w64-dev wine wine64 \
        dpkg-dev cmake ninja-build pkg-config make tcl xvfb zip ccache \
        googletest nlohmann-json3-dev libcli11-dev libexpected-dev \
        librsvg2-bin icoutils nsis
    if wants_i686; then
        install_wine32
    fi
    log "tools: $(x86_64-w64-mingw32-g++-posix --version | head -1); $(WINEDEBUG=-all wine --version)"
}

# 32-bit Windows programs run under wine32, from Debian's i386 multiarch. It
# only works where the kernel runs 32-bit Linux programs; where it does not
# (some virtual machines switch IA-32 emulation off), /usr/lib/wine/wine from
# wine32 cannot start, and because /usr/bin/wine prefers it, installing wine32
# there would break 64-bit Wine too. So the i386 C library goes first, and
# wine32 follows only when its loader runs. None of this is needed to build
# the 32-bit target, only to test it, so a failure here is a warning.
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
        unset QUORVEL_APT_UPDATED  # the new architecture's indexes
    fi
    if ! need_packages libc6:i386; then
        log "warning: the i386 C library could not be installed: the i686 build is not tested here"
        return 0
    fi
    if can_run_i386; then
        need_packages wine32:i386 ||
            log "warning: wine32 could not be installed: the i686 build is not tested here"
    else
        log "this kernel cannot run 32-bit programs (IA-32 emulation is off): wine32 is not installed and the i686 build is not tested here"
    fi
}

# --- deps -------------------------------------------------------------------

# The newest version of a source package the apt sources offer ("" when the
# source indexes do not name it).
source_version() {
    { apt-cache showsrc --only-source "$1" 2>/dev/null || true; } |
        awk '/^Version:/ { print $2 }' | sort -V | tail -1
}

# Debian's source indexes, read only when something must be built from source:
# the deb-src entries added where missing, and apt-get update run for them.
need_sources() {
    [ -z "${sources_read:-}" ] || return 0
    sources_read=1
    enable_deb_src || true
    log "reading Debian's source indexes"
    QUORVEL_APT_UPDATED='' apt_update
}

# Unpacks a Debian source package (with Debian's patches applied) once into
# $cache/src/<package>-<version> and prints that folder.
fetch_source() {
    local pkg=$1 ver=$2 dir="$cache/src/$1-$2"
    if [ ! -e "$dir/.unpacked" ]; then
        log "apt-get source $pkg=$ver"
        rm -rf "$dir" "$dir.download"
        mkdir -p "$dir.download"
        # A download cut short by the archive is tried once more.
        (cd "$dir.download" && apt-get source -q --only-source "$pkg=$ver" >&2) ||
            (sleep 10 && cd "$dir.download" && rm -rf ./* &&
                apt-get source -q --only-source "$pkg=$ver" >&2) ||
            { echo "error: apt-get source $pkg=$ver failed (see above)" >&2; return 1; }
        mv "$(find "$dir.download" -mindepth 1 -maxdepth 1 -type d | head -1)" "$dir"
        rm -rf "$dir.download"
        touch "$dir/.unpacked"
    fi
    printf '%s\n' "$dir"
}

# Configures, builds and installs a CMake project for the current target.
cmake_dep() {
    local src=$1 build=$2
    shift 2
    rm -rf "$build"
    cmake -S "$src" -B "$build" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/$target.cmake" \
        -DQUORVEL_WIN_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF "$@" >"$build.log" 2>&1 ||
        { tail -30 "$build.log" >&2; return 1; }
    cmake --build "$build" --parallel "$jobs" >>"$build.log" 2>&1 ||
        { tail -30 "$build.log" >&2; return 1; }
    cmake --install "$build" >>"$build.log" 2>&1
}

# libcurl over Schannel, Windows' own TLS, so the system's certificate store
# is used; HTTP and HTTPS only, gzip/deflate through zlib (the transport asks
# for compressed replies); no LDAP, SSH, IDN, PSL, brotli, zstd or HTTP/2.
# ENABLE_UNICODE makes libcurl take file names (the --cacert file, for one)
# as UTF-8 and open them through the wide Windows API.
build_curl() {
    cmake_dep "$1" "$2" \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_WINDOWS_SSPI=ON \
        -DENABLE_UNICODE=ON -DHTTP_ONLY=ON -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
        -DCURL_ZLIB=ON -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
        -DUSE_LIBIDN2=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
        -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
        -DPICKY_COMPILER=OFF -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none
}

# libxlsxwriter with its bundled minizip and zlib from libz-mingw-w64-dev.
build_libxlsxwriter() {
    cmake_dep "$1" "$2" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DUSE_SYSTEM_MINIZIP=OFF
}

# SQLite: the amalgamation (sqlite3.c) is generated by the source tree's own
# tools, which run on the build machine (tclsh, lemon), then compiled for the
# target, thread-safe as Debian builds it.
build_sqlite3() {
    local src=$1 build=$2
    rm -rf "$build"
    mkdir -p "$build"
    (cd "$build" && "$src/configure" --disable-tcl --disable-readline >"$build.log" 2>&1 &&
        make sqlite3.c sqlite3.h >>"$build.log" 2>&1) || { tail -30 "$build.log" >&2; return 1; }
    "$target-gcc-posix" -O2 -DNDEBUG -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_ENABLE_DBSTAT_VTAB -DSQLITE_ENABLE_FTS5 \
        -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_ENABLE_RTREE \
        -c "$build/sqlite3.c" -o "$build/sqlite3.o"
    mkdir -p "$prefix/lib/pkgconfig" "$prefix/include"
    rm -f "$prefix/lib/libsqlite3.a"
    "$target-gcc-ar-posix" rcs "$prefix/lib/libsqlite3.a" "$build/sqlite3.o"
    cp "$build/sqlite3.h" "$src/src/sqlite3ext.h" "$prefix/include/"
    local ver
    ver=$(cat "$src/VERSION")
    cat >"$prefix/lib/pkgconfig/sqlite3.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: SQLite
Description: SQL database engine
Version: $ver
Libs: -L\${libdir} -lsqlite3
Cflags: -I\${includedir}
PC
}

build_fmtlib() {
    cmake_dep "$1" "$2" -DFMT_DOC=OFF -DFMT_TEST=OFF -DFMT_INSTALL=ON
}

# spdlog as a static library over the fmt built above (as Debian builds it).
build_spdlog() {
    cmake_dep "$1" "$2" -DSPDLOG_FMT_EXTERNAL=ON -DSPDLOG_BUILD_SHARED=OFF \
        -DSPDLOG_BUILD_EXAMPLE=OFF -DSPDLOG_BUILD_TESTS=OFF -DSPDLOG_BUILD_BENCH=OFF \
        -DSPDLOG_INSTALL=ON
}

# GoogleTest from Debian's googletest package (/usr/src/googletest).
build_googletest() {
    cmake_dep /usr/src/googletest "$2" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}

# Header-only libraries are taken as Debian installs them for Linux: their
# headers, CMake package files and .pc files are copied into the prefix
# (their CMake files locate the headers relative to themselves).
copy_headers_of() {
    local pkg=$1 f rel
    while IFS= read -r f; do
        [ -f "$f" ] || continue
        case "$f" in
        /usr/include/* | /usr/share/cmake/* | /usr/share/pkgconfig/*) rel=${f#/usr/} ;;
        *) continue ;;
        esac
        mkdir -p "$prefix/$(dirname "$rel")"
        cp "$f" "$prefix/$rel"
    done < <(dpkg -L "$pkg")
}

# Builds (or finds in the cache) one dependency for the current target. The
# stamp's name holds the version and a hash of the recipe, so a new Debian
# version or a changed recipe rebuilds it and nothing else does.
dep() {
    local name=$1 kind=$2 ver recipe stamp start cached
    # (Header-only libraries have no build_ function of their own.)
    recipe=$( (declare -f "build_$name" copy_headers_of cmake_dep 2>/dev/null || true
        cat "$repo/cmake/toolchains/"*.cmake) | sha1sum | cut -c1-10)
    case "$kind" in
    source)
        ver=$(source_version "$name")
        if [ -z "$ver" ]; then
            # No source index names it: a build of it in the cache serves as
            # it is; only without one are the indexes read.
            cached=$(find "$cache/$target/stamps" -maxdepth 1 -name "$name-*-$recipe" 2>/dev/null || true)
            if [ -n "$cached" ]; then
                log "$target: $name (cached; Debian's source index not read)"
                return 0
            fi
            need_sources
            ver=$(source_version "$name")
        fi
        ;;
    installed) ver=$(dpkg-query -W -f='${Version}' "$3") ;;
    esac
    [ -n "$ver" ] || {
        echo "error: Debian's source indexes name no version of $name, so it cannot be built (see apt-get update's warnings above)" >&2
        return 1
    }
    stamp="$cache/$target/stamps/$name-$ver-$recipe"
    if [ -e "$stamp" ]; then
        log "$target: $name $ver (cached)"
        return 0
    fi
    log "$target: building $name $ver"
    start=$(date +%s)
    local build="$cache/$target/build/$name-$ver"
    mkdir -p "$cache/$target/build" "$cache/$target/stamps"
    case "$kind" in
    source) "build_$name" "$(fetch_source "$name" "$ver")" "$build" ;;
    installed)
        if declare -F "build_$name" >/dev/null; then
            "build_$name" "" "$build"
        else
            copy_headers_of "$3"
        fi
        ;;
    esac
    rm -f "$cache/$target/stamps/$name-"*
    touch "$stamp"
    log "$target: $name $ver built in $(($(date +%s) - start)) s"
}

# One scratch Wine prefix per run of this script (creating one takes about
# 10 s; kept, one would take some 700 MB), without Mono and Gecko.
use_scratch_wine() {
    if [ -z "${scratch_wine:-}" ]; then
        scratch_wine=$(mktemp -d -t quorvel-wine.XXXXXX)
        # The prefix's own wineserver is stopped first: it writes the registry on exit.
        trap 'WINEPREFIX="$scratch_wine" wineserver -k 2>/dev/null || true; rm -rf "$scratch_wine"' EXIT
    fi
    export WINEDEBUG=-all WINEPREFIX="$scratch_wine" WINEDLLOVERRIDES="mscoree,mshtml="
    # Wine takes Windows' time zone from the TZ it starts with, else from the
    # host's /etc/localtime: the tests that read local time under Wine see
    # UTC on every machine.
    export TZ=UTC
}

step_deps() {
    use_scratch_wine
    for target in "${targets[@]}"; do
        prefix="$cache/$target/prefix"
        mkdir -p "$prefix"
        dep curl source
        dep libxlsxwriter source
        dep sqlite3 source
        dep fmtlib source
        dep spdlog source
        dep googletest installed googletest
        dep nlohmann-json installed nlohmann-json3-dev
        dep cli11 installed libcli11-dev
        dep tl-expected installed libexpected-dev
        check_deps
    done
    du -sh "$cache" >&2
}

# Links every dependency into scripts/windows/deps_check and checks that the
# program imports nothing but Windows' own DLLs; runs it under Wine where
# Wine can run the target.
check_deps() {
    local build="$cache/$target/build/deps-check" exe
    rm -rf "$build"
    cmake -S "$repo/scripts/windows/deps_check" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/$target.cmake" \
        -DQUORVEL_WIN_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release >"$build.log" 2>&1 &&
        cmake --build "$build" --parallel "$jobs" >>"$build.log" 2>&1 ||
        { tail -30 "$build.log" >&2; return 1; }
    exe="$build/quorvel_deps_check.exe"
    log "$target: the dependency check imports $("$target-objdump" -p "$exe" | awk '/DLL Name:/ { print $3 }' | sort -u | tr '\n' ' ')"
    check_imports "$exe"
    if can_run "$target"; then
        (cd "$build" && wine "$exe" --gtest_brief=1) >&2
    else
        log "$target: not run (no Wine for this target here)"
    fi
}

# Whether Wine runs the target's programs on this machine.
can_run() {
    case "$1" in
    x86_64-*) command -v wine >/dev/null ;;
    *) installed wine32:i386 && can_run_i386 ;;
    esac
}

# --- build, test, dist --------------------------------------------------------

build_dir() { printf '%s/build/windows-%s\n' "$repo" "$1"; }

step_build() {
    for target in "${targets[@]}"; do
        local build
        build=$(build_dir "$target")
        log "$target: building Quorvel in ${build#"$repo"/}"
        cmake -S "$repo" -B "$build" -G Ninja -Wno-dev \
            -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/$target.cmake" \
            -DQUORVEL_WIN_PREFIX="$cache/$target/prefix" -DCMAKE_BUILD_TYPE=Release \
            -DQUORVEL_WITH_QT=OFF -DQUORVEL_BUILD_BENCHMARKS=OFF -DQUORVEL_WERROR=ON >/dev/null
        cmake --build "$build" --parallel "$jobs"
        check_imports "$build/cli/quorvel-cli.exe"
        check_imports "$build/win32/quorvel.exe"
    done
}

# A program for Windows may import only Windows' own DLLs: nothing of MinGW's
# runtime and no dependency may be needed beside it.
check_imports() {
    local exe=$1 dll
    for dll in $("$target-objdump" -p "$exe" | awk '/DLL Name:/ { print $3 }' | sort -u); do
        case "${dll,,}" in
        kernel32.dll | msvcrt.dll | advapi32.dll | ws2_32.dll | crypt32.dll | bcrypt.dll | \
            user32.dll | shell32.dll | secur32.dll | ole32.dll | api-ms-win-*.dll | \
            gdi32.dll | comctl32.dll | comdlg32.dll | oleaut32.dll) ;;
        *)
            echo "$exe needs $dll, which Windows does not have" >&2
            return 1
            ;;
        esac
    done
}

step_test() {
    use_scratch_wine
    for target in "${targets[@]}"; do
        if ! can_run "$target"; then
            log "$target: not tested (Wine cannot run $target programs on this machine)"
            continue
        fi
        log "$target: the test executables under Wine"
        ctest --test-dir "$(build_dir "$target")" --output-on-failure
        # quorvel-cli.exe and the window against the fake marketplace, compared
        # with the Linux build's own core: the Linux build in build/default
        # runs them, as it is.
        if [ "$target" = x86_64-w64-mingw32 ]; then
            log "$target: quorvel-cli.exe and quorvel.exe under Wine against the fake marketplace"
            build_wine_tests
            QUORVEL_WINDOWS_BUILD="$(build_dir "$target")" QUORVEL_WINE="$(command -v wine)" \
                ctest --test-dir "$repo/build/default" -L wine --output-on-failure
        fi
    done
}

# The Linux build's tests of the Windows programs under Wine: build/default
# as it is configured (configured here only where there is none yet).
build_wine_tests() {
    [ -e "$repo/build/default/CMakeCache.txt" ] || cmake --preset default >/dev/null
    cmake --build --preset default --parallel "$jobs" \
        --target quorvel_cli_wine_tests quorvel_window_wine_tests
}

# docs/images/windows-window.png: the 64-bit window under Wine on Xvfb after a
# small harvest against the fake marketplace, and windows-sign-in.png, its
# sign-in dialog (after build).
step_screenshot() {
    local target=x86_64-w64-mingw32
    build_wine_tests
    mkdir -p "$repo/docs/images"
    QUORVEL_WINDOWS_BUILD="$(build_dir "$target")" QUORVEL_WINE="$(command -v wine)" \
        "$repo/build/default/tests/quorvel_window_wine_tests" --screenshot \
        "$repo/docs/images/windows-window.png" "$repo/docs/images/windows-sign-in.png" >/dev/null
    log "docs/images/windows-window.png and windows-sign-in.png written"
}

# The version the project states, as the zips' names carry it.
project_version() {
    sed -n 's/^project(Quorvel VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt"
}

# Copies the target's two programs, stripped, into a folder.
stage_programs() {
    local target=$1 dir=$2 exe
    for exe in cli/quorvel-cli.exe win32/quorvel.exe; do
        cp "$(build_dir "$target")/$exe" "$dir/"
        "$target-strip" "$dir/${exe#*/}"
    done
}

bits_of() { if [ "$1" = i686-w64-mingw32 ]; then echo 32; else echo 64; fi; }

step_dist() {
    local version
    version=$(project_version)
    mkdir -p "$repo/dist"
    for target in "${targets[@]}"; do
        local bits stage zip
        bits=$(bits_of "$target")
        zip="$repo/dist/quorvel-$version-win$bits.zip"
        stage=$(mktemp -d)
        mkdir "$stage/quorvel-$version-win$bits"
        stage_programs "$target" "$stage/quorvel-$version-win$bits"
        # Notepad and the console read CR LF text; the BOM marks it as UTF-8.
        { printf '\xef\xbb\xbf'; sed 's/$/\r/' "$repo/packaging/windows/README.txt"; } \
            >"$stage/quorvel-$version-win$bits/README.txt"
        rm -f "$zip"
        (cd "$stage" && TZ=UTC find "quorvel-$version-win$bits" -exec touch -d "$(git -C "$repo" log -1 --format=%cI)" {} + &&
            zip -q -X -r "$zip" "quorvel-$version-win$bits")
        rm -rf "$stage"
        log "${zip#"$repo"/}: $(stat -c %s "$zip") bytes"
    done
}

# dist/quorvel-<version>-win64-setup.exe (and -win32-setup.exe): NSIS's
# installer of the stripped programs (packaging/windows/installer.nsi), with
# the icon the build rendered; then installed, run and uninstalled under Wine
# (tests/packaging/check_installer.py) where Wine runs the target.
step_installer() {
    local version
    version=$(project_version)
    mkdir -p "$repo/dist"
    for target in "${targets[@]}"; do
        local bits nsis_target=amd64-unicode stage setup
        bits=$(bits_of "$target")
        [ "$bits" = 64 ] || nsis_target=x86-unicode
        setup="$repo/dist/quorvel-$version-win$bits-setup.exe"
        stage=$(mktemp -d)
        stage_programs "$target" "$stage"
        makensis -NOCD -INPUTCHARSET UTF8 -V2 -WX -DVERSION="$version" -DTARGET="$nsis_target" \
            -DFILES="$stage" -DICON="$(build_dir "$target")/packaging/windows/quorvel.ico" \
            -DOUTFILE="$setup" "$repo/packaging/windows/installer.nsi" >&2
        rm -rf "$stage"
        log "${setup#"$repo"/}: $(stat -c %s "$setup") bytes"
        if can_run "$target"; then
            log "$target: the installer under Wine"
            python3 "$repo/tests/packaging/check_installer.py" "$setup" "$version" >&2
        else
            log "$target: the installer is not checked (Wine cannot run $target programs on this machine)"
        fi
    done
}

# --- main -------------------------------------------------------------------

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(all)
for s in "${steps[@]}"; do
    case "$s" in
    tools) step_tools ;;
    deps) step_deps ;;
    build) step_build ;;
    test) step_test ;;
    dist) step_dist ;;
    installer) step_installer ;;
    screenshot) step_screenshot ;;
    all)
        step_tools
        step_deps
        step_build
        step_test
        step_dist
        step_installer
        ;;
    *)
        echo "unknown step: $s (tools, deps, build, test, dist, installer, screenshot, all)" >&2
        exit 2
        ;;
    esac
done
