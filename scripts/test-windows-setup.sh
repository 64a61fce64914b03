#!/usr/bin/env bash
# Checks a Windows setup program under Wine, in a prefix of its own made anew: a silent install
# (/S) puts the files, the Start-menu entry and the uninstall entry in place; the installed
# private-folders.exe runs from where the Start-menu entry points and reports the prefix's
# drives through our DeviceInfo.dll; with the tests' stand-in library in its place, a mapped
# drive of an unlisted model does not count until the "models add" line that "drives" suggests
# is run, and then counts, for "drives" and for the installed window on a private X server; a
# silent uninstall leaves no file and no uninstall entry behind.
#
#   bash scripts/test-windows-setup.sh SETUP.EXE BUILD_DIR
#
# BUILD_DIR is the Windows build the setup program came from; its stand-in DeviceInfo.dll and
# window-probe.exe (BUILD_DIR/bin) are of the programs' width. The Start-menu entry is read with
# shortcut-target.exe of the 64-bit test build (build/windows/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
setup=$(realpath "$1")
build=$(realpath "$2")
source scripts/wine.sh
source scripts/wine-window.sh

export WINEPREFIX=$build/setup-test/wineprefix
# No Mono or Gecko installers, a crash ends the program instead of waiting in a debugger, and
# no menu entries of the user's desktop for what the setup program puts in the Start menu.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
work=$build/setup-test
rm -rf "$work"
mkdir -p "$work"
start_x_server
cleanup() {
    wineserver --kill 2>/dev/null || true
    kill "$x_server" 2>/dev/null || true
}
trap cleanup EXIT
$WINE wineboot --init >/dev/null 2>&1
wine_desktop
# A mapped drive, to see what the installed device library makes of it.
cp -r demo/drives/E "$build/setup-test/E"
wineserver --wait
ln -s "$build/setup-test/E" "$WINEPREFIX/dosdevices/e:"
$WINE wineboot >/dev/null 2>&1
wineserver --wait

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PrivateFolderSetup'
shortcut='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Private Folder Setup.lnk'
files() { # every file and folder of the prefix's drive C but Wine's own and the temporary ones
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path './users/*/Temp' -prune \
        -o -print | sort)
}
# The uninstall entry in the registry view of the setup program's width, either one.
entry() { # entry <value name>: the value's data; fails when there is no entry
    local view
    for view in 64 32; do
        if $WINE reg query "$uninstall_key" /v "$1" /reg:$view 2>/dev/null | tr -d '\r' |
            sed -n "s/^ *$1 *REG_[A-Z_]* *//p" | grep .; then
            return 0
        fi
    done
    return 1
}
win() { # win <program> <arguments...>: its standard output without carriage returns
    $WINE "$@" | tr -d '\r'
}

files >"$build/setup-test/before"
echo "== install $(basename "$setup") /S"
$WINE "$setup" /S
wineserver --wait

version=$(sed -n 's/^project(PrivateFolderSetup VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
installed=$(entry InstallLocation)
[ "$(entry DisplayName)" = "Private Folder Setup" ]
[ "$(entry DisplayVersion)" = "$version" ]
[ "$(entry UninstallString)" = "\"$installed\\uninstall.exe\"" ]
folder=$($WINE winepath -u "$installed" | tr -d '\r')
for file in private-folder-setup.exe private-folders.exe DeviceInfo.dll README.txt LICENSE.txt uninstall.exe; do
    [ -f "$folder/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
cmp "$folder/LICENSE.txt" LICENSE

target=$(win "$root/build/windows/bin/shortcut-target.exe" "$shortcut")
[ "$target" = "$installed\\private-folder-setup.exe" ]
programs=${target%\\*}

echo "== $programs\\private-folders.exe drives"
win "$programs\\private-folders.exe" drives | tee "$build/setup-test/drives"
grep -qxF "Device library: loaded from $programs\\DeviceInfo.dll" "$build/setup-test/drives"
grep -q '^  C:\\  ' "$build/setup-test/drives"
grep -q '^  E:\\  ' "$build/setup-test/drives"

# Under Wine our library names no USB device behind a mapped drive, so the tests' stand-in
# takes its place for a while: it reports E on a device of a model the user has not listed,
# as a new user with no model list at all.
library=$folder/DeviceInfo.dll
cmp "$library" "$build/DeviceInfo/DeviceInfo.dll"
cp "$build/bin/DeviceInfo.dll" "$library"
printf 'E\tE\tUSB\\VID_1D6B&PID_0104\\TEST1\t1\n' >"$work/records.sim"
LUNAVIO_DEVICE_RECORDS=$($WINE winepath -w "$work/records.sim" | tr -d '\r')
export LUNAVIO_DEVICE_RECORDS
echo "== an unlisted model: E does not count until the suggested models add line is run"
win "$programs\\private-folders.exe" drives | tee "$work/unlisted"
if grep -q '^  E:\\  device drive' "$work/unlisted"; then
    echo "E counts before its model is listed" >&2
    exit 1
fi
line=$(grep -o 'private-folders models add [^#]*' "$work/unlisted" | sed 's/ *$//')
[ "$line" = "private-folders models add 1d6b:0104" ]
read -ra words <<<"$line"
win "$programs\\private-folders.exe" "${words[@]:1}"
win "$programs\\private-folders.exe" drives | tee "$work/listed"
grep -q '^  E:\\  device drive' "$work/listed"

echo "== $programs\\private-folder-setup.exe opens on E"
window_exe=$programs\\private-folder-setup.exe
probe_exe=$build/bin/window-probe.exe
start_window
expect "selector${T}Local Drive (E:\\)" "entry${T}0${T}Local Drive (E:\\)" \
    "button${T}save${T}enabled"
expect_row "[0-9]*${T}public$T-${T}MUSIC$T"
close_window
# The uninstaller is to remove what it installed.
cp "$build/DeviceInfo/DeviceInfo.dll" "$library"

echo "== uninstall /S"
$WINE "$installed\\uninstall.exe" /S
# The uninstaller runs on from a copy of itself; the prefix's server ends when it has.
wineserver --wait
if entry DisplayName >/dev/null; then
    echo "the uninstall entry is still there" >&2
    exit 1
fi
files >"$build/setup-test/after"
diff -u "$build/setup-test/before" "$build/setup-test/after"
echo "== setup program: installed, ran, uninstalled without a trace"
