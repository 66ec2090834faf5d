# Shared by scripts/run, scripts/test, scripts/release and bench/run. Source it; do not run it.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Installs the Debian packages among "$@" that are missing, with apt-get.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if [[ " ${missing[*]} " == *":i386 "* ]] &&
        ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# What building the Windows program and running it under Wine needs.
windows_packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 wine
                  googletest fonts-freefont-ttf)

# The 32-bit Windows build, and what its tests and a release's start need: the kernel runs
# 32-bit programs, but Debian's Wine starts a 32-bit Windows program only with its 32-bit
# loader and libraries, from the i386 architecture (wine32:i386), beside the 64-bit Wine in
# the same prefix.
x86_packages=(cmake make g++-mingw-w64-i686-posix mingw-w64-i686-dev wine64 wine wine32:i386
              googletest fonts-freefont-ttf)

# The second compiler for 64-bit Windows: clang and lld, on the MinGW-w64 runtime and GCC's
# libstdc++.
clang_windows_packages=(clang lld g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev)

# What the host build of the rules and the fuzzer needs.
host_packages=(cmake make clang libclang-rt-14-dev googletest)

# Packing, signing and checking a release.
release_packages=(git zip unzip osslsigncode)

# Signing with a time stamp from an authority of the test's own.
signing_test_packages=(osslsigncode openssl python3)

# Taking a picture of the dialog on a virtual display.
screenshot_packages=(xvfb x11-utils imagemagick)

# sign_exe IN OUT: writes IN signed to OUT, with SHA-256, by the maker's certificate and key
# (BORVEX_SIGN_CERT, BORVEX_SIGN_KEY: PEM files, the key not encrypted). With
# BORVEX_SIGN_TIMESTAMP, an RFC 3161 time-stamp URL, the signature is time-stamped there: it then
# proves it was made while the certificate was valid, and keeps validating after it expires.
sign_exe() {
    local timestamp=()
    [ -z "${BORVEX_SIGN_TIMESTAMP:-}" ] || timestamp=(-ts "$BORVEX_SIGN_TIMESTAMP")
    osslsigncode sign -certs "$BORVEX_SIGN_CERT" -key "$BORVEX_SIGN_KEY" -h sha256 \
        -n "VELTA Multi-Serial Adapters setup" "${timestamp[@]}" -in "$1" -out "$2" >/dev/null
}

# wine_in PREFIX ARGS...: runs Wine in PREFIX, quietly.
wine_in() {
    local prefix=$1
    shift
    WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        /usr/lib/wine/wine64 "$@"
}

# seed_driver_registry PREFIX: the driver configuration the utility shows when the machine
# has no real one: two adapters, first port COM3, extended mode off on adapter 1 and on
# on adapter 2. Values already there (say, from an earlier Apply) are kept.
seed_driver_registry() {
    local prefix=$1
    local service='HKLM\SYSTEM\CurrentControlSet\Services\BORVEX'
    if ! wine_in "$prefix" reg query "$service\\Parameters" >/dev/null 2>&1; then
        wine_in "$prefix" reg add "$service" /v MaxAdapter /t REG_DWORD /d 2 /f >/dev/null
        wine_in "$prefix" reg add "$service\\Parameters" /v StartNum0 /t REG_DWORD /d 3 /f >/dev/null
        wine_in "$prefix" reg add "$service\\Parameters" /v ExtMode0 /t REG_DWORD /d 0 /f >/dev/null
        wine_in "$prefix" reg add "$service\\Parameters" /v ExtMode1 /t REG_DWORD /d 1 /f >/dev/null
    fi
}
