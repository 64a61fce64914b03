#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window on the bundled demo device. The demo
# device is copied first, so saving in the demo never changes the repository's files.
set -euo pipefail
cd "$(dirname "$0")/.."

# Only the program and its libraries: no tests, no benchmarks, so the window opens soon.
bash scripts/install-deps.sh build
cmake --preset demo >/dev/null
cmake --build --preset demo --target private-folder-setup DeviceInfo

device=build/demo-device
rm -rf "$device"
cp -a demo "$device"
export LUNAVIO_SIMULATION="$PWD/$device/lunavio.sim"
export LUNAVIO_REGISTRY="$PWD/$device/hkcu.reg"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: starting the window under xvfb-run" >&2
    exec xvfb-run -a build/demo/bin/private-folder-setup
fi
exec build/demo/bin/private-folder-setup
