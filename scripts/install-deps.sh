#!/usr/bin/env bash
# Installs the Debian packages that the named groups need (all groups when none is named).
# Safe to run again: it asks apt only for what is missing.
#
#   bash scripts/install-deps.sh build     # what the program and the demo need
#   bash scripts/install-deps.sh           # everything: build, tests, fuzzing, Windows, package
set -euo pipefail

declare -A group

# The program, the command-line companion and the demo window.
group[build]="cmake ninja-build g++ pkg-config ccache qt6-base-dev qt6-base-dev-tools libgl-dev
    libcli11-dev nlohmann-json3-dev qt6-wayland xvfb xauth"

# The test suite and the benchmarks; zsh and fish run the companion's shell completions.
group[test]="clang-format googletest libgtest-dev libgmock-dev libbenchmark-dev
    xdotool x11-utils imagemagick zsh fish"

# The window's end-to-end and accessibility checks: a window manager, a headless Wayland
# compositor, the accessibility bus and its Python client, and the fonts that stand in for the
# window's "MS Shell Dlg 2".
group[window]="openbox weston at-spi2-core dbus-daemon dbus-x11 python3-pyatspi
    fonts-liberation fonts-dejavu-core"

# Fuzzing with libFuzzer.
group[fuzz]="clang llvm libclang-rt-14-dev"

# The Windows cross-builds, their tests under Wine and the setup program (NSIS). The window's
# checks under Wine drive it with xdotool on Xvfb, in Wine's own fonts (Tahoma, Marlett).
group[windows]="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 nsis
    fonts-wine xvfb xauth xdotool imagemagick"

# Wine's 32-bit side, for the 32-bit programs, from Debian's i386 architecture. Only where the
# kernel runs 32-bit programs: elsewhere Debian's wine script would pick the 32-bit loader and
# start nothing at all, not even a 64-bit program.
group[windows32]="wine32:i386"

# The Debian package and the checks on it.
group[package]="dpkg-dev lintian desktop-file-utils appstream man-db librsvg2-bin"

# Whether a 32-bit x86 program starts: a 93-byte one that only exits.
runs_32bit_programs() {
    local probe status=0
    probe=$(mktemp)
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\010\064\0\0\0\0\0\0\0'\
'\0\0\0\0\064\0\040\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\010\0\200\4\010\135\0\0\0'\
'\135\0\0\0\5\0\0\0\0\020\0\0\270\1\0\0\0\061\333\315\200' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    return $status
}

names=("$@")
[ ${#names[@]} -gt 0 ] || names=(build test window fuzz windows windows32 package)

missing=()
for name in "${names[@]}"; do
    if [ -z "${group[$name]+set}" ]; then
        echo "install-deps.sh: no group '$name' (groups: ${!group[*]})" >&2
        exit 2
    fi
    if [ "$name" = windows32 ] && ! runs_32bit_programs; then
        echo "install-deps.sh: this kernel runs no 32-bit programs; no wine32" >&2
        continue
    fi
    for p in ${group[$name]}; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
