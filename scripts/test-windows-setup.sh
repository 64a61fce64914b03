#!/usr/bin/env bash
# Checks a Windows setup program under Wine, in a prefix of its own made anew: a silent install
# (/S) puts the files, the Start-menu entry and the uninstall entry in place; the installed
# private-folders.exe runs from where the Start-menu entry points and reports the prefix's drives through our
# DeviceInfo.dll; a silent uninstall leaves no file, no entry and no key behind.
#
#   bash scripts/test-windows-setup.sh SETUP.EXE BUILD_DIR
#
# BUILD_DIR is the Windows build the setup program came from. The Start-menu entry is read with
# shortcut-target.exe of the 64-bit test build (build/windows/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
setup=$(realpath "$1")
build=$(realpath "$2")
# The Wine loader: $WINE when the caller chose one, else Debian's wine.
wine=${WINE:-wine}

export WINEPREFIX=$build/setup-test/wineprefix
# No Mono or Gecko installers, a crash ends the program instead of waiting in a debugger, and
# no menu entries of the user's desktop for what the setup program puts in the Start menu.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
rm -rf "$build/setup-test"
mkdir -p "$build/setup-test"
"$wine" wineboot --init >/dev/null 2>&1
# A mapped drive, to see what the installed device library makes of it.
cp -r demo/drives/E "$build/setup-test/E"
wineserver --wait
ln -s "$build/setup-test/E" "$WINEPREFIX/dosdevices/e:"
"$wine" wineboot >/dev/null 2>&1
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
        if "$wine" reg query "$uninstall_key" /v "$1" /reg:$view 2>/dev/null | tr -d '\r' |
            sed -n "s/^ *$1 *REG_[A-Z_]* *//p" | grep .; then
            return 0
        fi
    done
    return 1
}
win() { # win <program> <arguments...>: its standard output without carriage returns
    "$wine" "$@" | tr -d '\r'
}

files >"$build/setup-test/before"
echo "== install $(basename "$setup") /S"
"$wine" "$setup" /S
wineserver --wait

version=$(sed -n 's/^project(PrivateFolderSetup VERSION \([^ ]*\).*/\1/p' CMakeLists.txt)
installed=$(entry InstallLocation)
[ "$(entry DisplayName)" = "Private Folder Setup" ]
[ "$(entry DisplayVersion)" = "$version" ]
[ "$(entry UninstallString)" = "\"$installed\\uninstall.exe\"" ]
folder=$("$wine" winepath -u "$installed" | tr -d '\r')
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
# Hook: "models add" of the installed companion. Under Wine our library names no USB device
# behind a mapped drive, so a drive that counts needs the tests' stand-in library.

echo "== uninstall /S"
"$wine" "$installed\\uninstall.exe" /S
# The uninstaller runs on from a copy of itself; the prefix's server ends when it has.
wineserver --wait
if entry DisplayName >/dev/null; then
    echo "the uninstall entry is still there" >&2
    exit 1
fi
files >"$build/setup-test/after"
diff -u "$build/setup-test/before" "$build/setup-test/after"
echo "== setup program: installed, ran, uninstalled without a trace"
