#!/usr/bin/env bash
# Builds if needed, opens the window on a copy of the demo device under Xvfb and writes what
# a user sees to docs/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build test # test: xdotool and ImageMagick's import
cmake --preset demo >/dev/null
cmake --build --preset demo --target private-folder-setup DeviceInfo

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a demo "$work/device"
export LUNAVIO_SIMULATION="$work/device/lunavio.sim"
export LUNAVIO_REGISTRY="$work/device/hkcu.reg"
mkdir -p docs

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    build/demo/bin/private-folder-setup &
    program=$!
    trap "kill $program 2>/dev/null || true" EXIT
    window=$(timeout 30 xdotool search --sync --name "Private folder setup Ver.1.01" | head -n 1)
    sleep 1 # let the window paint
    import -window "$window" docs/screenshot.png
'
echo "docs/screenshot.png written"
