# Shared by scripts/run, scripts/test, scripts/release and bench/run. Source it; do not run it.

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# apt's last error line when ensure_packages fails; its reason, for the user.
apt_error=""
# Whether apt-get update has run since the last change of architectures.
lists_updated=no

# last_error LOG: the last error line apt wrote to LOG, or its last line when none says "E:".
last_error() {
    grep '^E: ' "$1" | tail -n 1 | grep . || grep . "$1" | tail -n 1
}

# Runs apt-get update, once for the run. A mirror part-way through a sync serves some lists
# with sizes other than its release file says, often for an hour; apt then fails on that list
# alone. So it is tried three times, and after that the lists that did load are used.
update_package_lists() {
    [ $lists_updated = no ] || return 0
    lists_updated=yes
    local log try
    log=$(mktemp)
    for try in 1 2 3; do
        $sudo apt-get update -q >"$log" 2>&1 && { rm -f "$log"; return 0; }
        [ $try -eq 3 ] || sleep 5
    done
    # Its first error names the list that failed; the last only says that some did.
    echo "apt-get update failed 3 times ($(grep -m 1 '^E: ' "$log" || tail -n 1 "$log")); going on with the package lists that did load."
    rm -f "$log"
}

# ensure_packages PACKAGE...: installs those that are missing. When apt cannot, returns 1 with
# its reason in $apt_error and leaves it to the caller whether to go on.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    if [[ " ${missing[*]} " == *":i386 "* ]] &&
        ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        lists_updated=no
    fi
    update_package_lists
    echo "Installing: ${missing[*]}"
    local log
    log=$(mktemp)
    if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
        "${missing[@]}" 2>&1 | tee "$log"; then
        rm -f "$log"
        return 0
    fi
    apt_error="apt could not install ${missing[*]}: $(last_error "$log")"
    rm -f "$log"
    return 1
}

# require_packages PACKAGE...: the same, for a script that cannot do without them.
require_packages() {
    ensure_packages "$@" || { echo "$apt_error" >&2; exit 1; }
}

# A 32-bit x86 program that only exits, for runs_32bit_programs: the ELF header, one loadable
# segment, then mov eax, 1 (exit); xor ebx, ebx; int 0x80.
i386_probe_bytes=(
    7f454c46010101000000000000000000 0200 0300 01000000 54800408 34000000 00000000 00000000
    3400 2000 0100 0000 0000 0000
    01000000 00000000 00800408 00800408 5d000000 5d000000 05000000 00100000
    b801000000 31db cd80
)

# Whether this machine starts 32-bit x86 programs at all: some hypervisors give processes no
# 32-bit mode, whatever the kernel and the packages. It starts the program above, or
# BORVEX_I386_PROBE when that names another. Returns 0 when it ran; 1 when the kernel refused
# it ("Exec format error"); 2 when it failed otherwise. The reason is in $machine_error.
machine_error=""
runs_32bit_programs() {
    local probe=${BORVEX_I386_PROBE:-}
    if [ -z "$probe" ]; then
        probe=$repo_root/build/i386-probe
        mkdir -p "$repo_root/build"
        printf "$(printf '%s' "${i386_probe_bytes[@]}" | sed 's/../\\x&/g')" >"$probe"
        chmod +x "$probe"
    fi
    local said status
    said=$("$probe" 2>&1) && return 0
    status=$?
    if [[ $said == *"Exec format error"* ]]; then
        machine_error="this machine cannot run 32-bit programs (Exec format error): its processes have no 32-bit mode"
        return 1
    fi
    machine_error="a 32-bit program failed to start (status $status): $said"
    return 2
}

# What building the Windows program and running it under Wine needs.
windows_packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 wine
                  googletest fonts-freefont-ttf)
# And what its tests need beside: make_icon_test remakes the icon with a Python script,
# pack_zip_test packs a zip and reads it.
windows_test_packages=(python3 zip unzip)

# The 32-bit Windows build: its compiler is a 64-bit program.
x86_build_packages=(cmake make g++-mingw-w64-i686-posix mingw-w64-i686-dev googletest)

# What the 32-bit tests and a release's start need beside the 64-bit Wine: Debian's Wine starts
# a 32-bit Windows program only with its 32-bit loader and libraries, from the i386
# architecture, in the same prefix. apt cannot install them while the mirror's i386 lists are
# out of step with the amd64 ones, and they run only where the machine runs 32-bit programs.
x86_wine_packages=(wine32:i386)

# The second compiler for 64-bit Windows: clang and lld, on the MinGW-w64 runtime and GCC's
# libstdc++.
clang_windows_packages=(clang lld g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev)

# Checking the C++ layout.
format_packages=(git clang-format)

# What the host build of the rules and the fuzzer needs.
host_packages=(cmake make clang libclang-rt-14-dev googletest)

# Packing, signing and checking a release.
release_packages=(git zip unzip osslsigncode)

# Signing with a time stamp from an authority of the test's own.
signing_test_packages=(osslsigncode openssl python3)

# Taking a picture of the dialog on a virtual display.
screenshot_packages=(xvfb x11-utils imagemagick)

# sign_exe IN OUT: writes IN signed to OUT, with SHA-256, by the maker's certificate and key
# (BORVEX_SIGN_CERT, BORVEX_SIGN_KEY: PEM files, the key not encrypted), naming the program as the
# elevation prompt shows it. With BORVEX_SIGN_TIMESTAMP, an RFC 3161 time-stamp URL, the signature
# is time-stamped there: it then proves it was made while the certificate was valid, and keeps
# validating after it expires.
sign_exe() {
    local timestamp=()
    [ -z "${BORVEX_SIGN_TIMESTAMP:-}" ] || timestamp=(-ts "$BORVEX_SIGN_TIMESTAMP")
    osslsigncode sign -certs "$BORVEX_SIGN_CERT" -key "$BORVEX_SIGN_KEY" -h sha256 \
        -n "VELTA Multi-Serial Adapters setup" "${timestamp[@]}" -in "$1" -out "$2" >/dev/null
}

# pack_zip ZIP EXE README EPOCH: writes ZIP holding EXE as BORVEX.EXE, then README as README.TXT
# in Notepad's CRLF line ends; both dated EPOCH and of mode 644, whatever the files' own, and with
# no extra fields (owner, Unix times): the same two files give the same bytes wherever packed.
pack_zip() {
    local zip stage
    zip=$(realpath -m "$1")
    stage=$(mktemp -d)
    cp "$2" "$stage/BORVEX.EXE"
    sed 's/$/\r/' "$3" >"$stage/README.TXT"
    chmod 644 "$stage/BORVEX.EXE" "$stage/README.TXT"
    touch -d "@$4" "$stage/BORVEX.EXE" "$stage/README.TXT"
    # zip adds to a zip that is there; it writes local times, hence UTC.
    rm -f "$zip"
    (cd "$stage" && TZ=UTC zip -X -D -9 -q "$zip" BORVEX.EXE README.TXT)
    rm -rf "$stage"
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
