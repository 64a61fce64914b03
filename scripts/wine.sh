# shellcheck shell=bash disable=SC2034
# Sourced by the scripts that run Windows programs: WINE, the Wine loader to run them with, and
# WINE_RUNS_32BIT, whether this machine runs the 32-bit build. Debian's wine starts the
# 32-bit loader whenever wine32 is installed, but a kernel without 32-bit support (some
# virtual machines) cannot run it: then only the 64-bit loader works.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    WINE=wine
    WINE_RUNS_32BIT=1
else
    WINE=/usr/lib/wine/wine64
    WINE_RUNS_32BIT=
    export WINELOADER=$WINE
fi
export WINE
