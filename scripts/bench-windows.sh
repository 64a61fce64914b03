#!/usr/bin/env bash
# The Windows listing benchmark under Wine (bench/windows_listing_bench.cpp): a root of
# 100,000 folders mapped as drive Q:, its first listing in the Win32 window against a bare
# FindFirstFileW/FindNextFileW loop, alternated REPETITIONS times (default 7).
#
#   bash scripts/bench-windows.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh build windows
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
source scripts/wine.sh
cmake --preset windows -DLUNAVIO_WINE="$WINE" >/dev/null
cmake --build --preset windows --target windows-listing-bench

work=$root/build/windows/bench
export WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# As the Linux benchmark's: half short lower-case names (stored upper-case on FAT), half
# names too long to mark. Made once and kept.
if [ ! -e "$work/root/.complete" ]; then
    rm -rf "$work/root"
    mkdir -p "$work/root"
    python3 - "$work/root" <<'PY'
import os, sys
for i in range(100_000):
    os.mkdir(os.path.join(sys.argv[1], f"Folder number {i:06d}" if i % 2 else f"f{i:06d}"))
PY
    touch "$work/root/.complete"
fi
if [ ! -d "$WINEPREFIX" ]; then
    $WINE wineboot --init >/dev/null 2>&1
fi
wineserver --wait
ln -sfn "$work/root" "$WINEPREFIX/dosdevices/q:"
# The Wine desktop goes before the X server does.
# shellcheck disable=SC2016 # the inner shell expands them
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$0" "$1" Q "$2"; status=$?; wineserver --kill; exit $status' \
    "$WINE" "$root/build/windows/bin/windows-listing-bench.exe" "${1:-7}" | tr -d '\r'

