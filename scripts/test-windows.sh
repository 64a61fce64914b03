#!/usr/bin/env bash
# Cross-builds the Qt-free programs for 64- and 32-bit Windows with MinGW-w64, runs the tests
# under Wine in a throwaway prefix, then drives private-folders.exe against copies of the demo
# drives mapped as E: and F:, judging the bytes it writes against the Linux build's; last,
# installs and uninstalls the setup programs (scripts/test-windows-setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh build windows windows32
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
if ! wine --version >/dev/null 2>&1; then
    echo "wine does not start (wine32 on a kernel that runs no 32-bit programs? then" \
        "apt-get remove wine32:i386)" >&2
    exit 1
fi

for preset in windows windows-i686; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target all setup
done

# A program finds the device library's entry points by their plain names, on both widths.
exports() { # exports <dll>: its exported names, sorted
    x86_64-w64-mingw32-objdump -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^\s*\[ *[0-9]*\] //p' | sort
}
expected_exports=$(printf '%s\n' _DLLInit _EjectDev _IsDevExist _IsDevExist2 _PrepareDevInfo \
    _ReleaseDevInfo _RemoveDevByDeviceID _RemoveDeviceTree)
for dll in build/windows/DeviceInfo/DeviceInfo.dll build/windows-i686/DeviceInfo/DeviceInfo.dll \
    build/windows/bin/DeviceInfo.dll; do
    diff -u <(echo "$expected_exports") <(exports "$dll") || {
        echo "$dll: not exactly the eight entry points" >&2
        exit 1
    }
done

# A prefix of its own, made anew each run: nothing from an earlier run or the user's ~/.wine.
export WINEPREFIX=$root/build/windows/wineprefix
# No Mono or Gecko installers, and a crash ends the program instead of waiting in a debugger.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
rm -rf "$WINEPREFIX"
echo "== Wine prefix"
wine wineboot --init >/dev/null 2>&1
# Drives E and F are copies of the demo drives. Wine's mount manager learns of them when it
# starts, so the server starts anew after they are mapped, and stays for the whole run.
work=$root/build/windows/end-to-end
rm -rf "$work"
mkdir -p "$work/windows" "$work/linux"
cp -r demo/drives/E demo/drives/F "$work/windows/"
cp -r demo/drives "$work/linux/"
wineserver --wait
ln -s "$work/windows/E" "$WINEPREFIX/dosdevices/e:"
ln -s "$work/windows/F" "$WINEPREFIX/dosdevices/f:"
wineserver --persistent
trap 'wineserver --kill || true' EXIT
wine wineboot >/dev/null 2>&1

echo "== windows tests"
ctest --preset windows -j2

cli=$root/build/windows/bin/private-folders.exe
if [ ! -f "$cli" ]; then
    echo "== end to end: skipped, private-folders.exe is not part of this build"
    exit 0
fi
echo "== end to end"
# The same change made by the Linux build on its own copy of the demo drives is the reference.
cmake --preset dev >/dev/null
cmake --build --preset dev --target private-folders DeviceInfo
linux_cli=$root/build/dev/bin/private-folders

wine reg import "$(winepath -w demo/hkcu.reg)"
# The stand-in DeviceInfo.dll reports the demo device's drives.
export LUNAVIO_DEVICE_RECORDS
LUNAVIO_DEVICE_RECORDS=$(winepath -w demo/lunavio.sim)
# Wine's mapped folders have no label and call themselves NTFS; the Linux side is told the same.
sed -E 's/^([EF]\t[^\t]*\t[^\t]*\t[01]).*/\1\t\tNTFS/' demo/lunavio.sim >"$work/linux/lunavio.sim"

run() { # run <windows|linux> <arguments...>: the command line's standard output
    local side=$1
    shift
    if [ "$side" = windows ]; then
        wine "$cli" "$@" | tr -d '\r'
    else
        LUNAVIO_SIMULATION=$work/linux/lunavio.sim LUNAVIO_REGISTRY=$root/demo/hkcu.reg \
            "$linux_cli" "$@"
    fi
}

wine "$cli" --version
wine "$cli" drives | tr -d '\r' | tee "$work/windows.drives"
grep -q '^  E:\\  device drive' "$work/windows.drives"
grep -q '^  F:\\  device drive' "$work/windows.drives"
for side in windows linux; do
    run "$side" show E >"$work/$side.show"
    run "$side" set E --password 4321 --private MUSIC --public PHOTOS >"$work/$side.set"
    run "$side" show E >"$work/$side.after"
done
for step in show set after; do
    diff -u "$work/linux.$step" "$work/windows.$step"
done
for drive in E F; do
    linux_file=$work/linux/drives/$drive/MPlay.sys
    windows_file=$work/windows/$drive/MPlay.sys
    if [ -e "$linux_file" ] || [ -e "$windows_file" ]; then
        cmp "$linux_file" "$windows_file"
    fi
done
if cmp -s demo/drives/E/MPlay.sys "$work/windows/E/MPlay.sys"; then
    echo "set E changed nothing" >&2
    exit 1
fi
echo "== end to end: Windows and Linux wrote the same bytes"

echo "== setup programs"
bash scripts/test-windows-setup.sh build/windows/private-folder-setup-*-x64-setup.exe build/windows
# The 32-bit one where Wine runs 32-bit programs (wine32, and a kernel that runs them).
if wine build/windows-i686/bin/private-folders.exe --version >/dev/null 2>&1; then
    bash scripts/test-windows-setup.sh build/windows-i686/private-folder-setup-*[0-9]-setup.exe \
        build/windows-i686
else
    echo "== 32-bit setup program: not run, this Wine runs no 32-bit programs"
fi
