#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: once in the dev build and
# once under AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows builds under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in dev asan; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j2
done

bash scripts/test-windows.sh
