#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window on the bundled demo device. The demo
# device is copied first, so saving in the demo never changes the repository's files.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev

device=build/demo-device
rm -rf "$device"
cp -a demo "$device"
export LUNAVIO_SIMULATION="$PWD/$device/lunavio.sim"
export LUNAVIO_REGISTRY="$PWD/$device/hkcu.reg"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: starting the window under xvfb-run" >&2
    exec xvfb-run -a build/dev/bin/private-folder-setup
fi
exec build/dev/bin/private-folder-setup
