#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: once in the dev build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer; then a short run of each fuzz
# target, and the Windows builds with their tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache entries keyed by paths relative to the checkout, so every clone shares them.
export CCACHE_BASEDIR="$PWD"

bash scripts/install-deps.sh

for preset in dev asan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j2
done

echo "== fuzz (a few seconds per target)"
bash scripts/fuzz.sh 5

bash scripts/test-windows.sh
