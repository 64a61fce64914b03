#!/usr/bin/env bash
# Renders the application icon's PNG sizes from packaging/icons/scalable.svg. The PNGs are
# committed, so building needs no SVG renderer; run this after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh package
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" packaging/icons/scalable.svg \
        --output "packaging/icons/$size.png"
done
echo "packaging/icons/*.png rendered"
