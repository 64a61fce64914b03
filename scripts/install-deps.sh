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

# The Windows cross-build and its tests under Wine.
group[windows]="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64"

# The Debian package and the checks on it.
group[package]="dpkg-dev lintian desktop-file-utils appstream man-db librsvg2-bin"

names=("$@")
[ ${#names[@]} -gt 0 ] || names=(build test window fuzz windows package)

missing=()
for name in "${names[@]}"; do
    if [ -z "${group[$name]+set}" ]; then
        echo "install-deps.sh: no group '$name' (groups: ${!group[*]})" >&2
        exit 2
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
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
