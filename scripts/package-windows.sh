#!/usr/bin/env bash
# Installs what is missing, cross-builds the Windows programs and writes their setup programs
# with NSIS:
#   build/windows-i686/private-folder-setup-<version>-setup.exe      32-bit programs, the one
#                                                                   for users (a device maker's
#                                                                   32-bit DeviceInfo.dll loads)
#   build/windows/private-folder-setup-<version>-x64-setup.exe       64-bit programs
# bash scripts/test-windows.sh checks them under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}

bash scripts/install-deps.sh build windows
for preset in windows-i686 windows; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target setup
done
ls -1 build/windows-i686/private-folder-setup-*-setup.exe build/windows/private-folder-setup-*-x64-setup.exe
