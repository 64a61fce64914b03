#!/usr/bin/env bash
# Cross-builds the programs for 64- and 32-bit Windows with MinGW-w64 and, under Wine in a
# throwaway prefix, for each width the machine can run: the tests; private-folders.exe
# against copies of the demo drives mapped as E: and F:, judging the bytes it writes against
# the Linux build's; and the setup window private-folder-setup.exe, driven with real clicks
# and keys (xdotool) on a private X server and read back through window-probe.exe; last,
# installs and uninstalls the setup programs (scripts/test-windows-setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

bash scripts/install-deps.sh build windows windows32
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}

source scripts/wine.sh
source scripts/wine-window.sh
presets=(windows ${WINE_RUNS_32BIT:+windows-i686})

for preset in windows windows-i686; do
    echo "== build $preset"
    cmake --preset "$preset" -DLUNAVIO_WINE="$WINE" >/dev/null
    cmake --build --preset "$preset" --target all setup
done
# What can be told of both builds without running them: the programs need only the system's
# DLLs, and both stand-in libraries export the device library's eight names undecorated.
exports() { # <objdump> <dll>: the exported names
    "$1" -p "$2" | sed -n '/Ordinal\/Name Pointer/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p'
}
for preset in windows:x86_64:pei-x86-64 windows-i686:i686:pei-i386; do
    IFS=: read -r name arch format <<<"$preset"
    objdump=$arch-w64-mingw32-objdump
    for program in private-folder-setup private-folders window-probe; do
        file=build/$name/bin/$program.exe
        "$objdump" -f "$file" | grep -q "file format $format" || {
            echo "$file is not $format" >&2
            exit 1
        }
        if "$objdump" -p "$file" | grep -iE 'DLL Name: .*(gcc|stdc\+\+|pthread|mingw)'; then
            echo "$file needs MinGW's DLLs" >&2
            exit 1
        fi
    done
done
diff <(exports x86_64-w64-mingw32-objdump build/windows/bin/DeviceInfo.dll) \
    <(exports i686-w64-mingw32-objdump build/windows-i686/bin/DeviceInfo.dll)
[ "$(exports i686-w64-mingw32-objdump build/windows-i686/bin/DeviceInfo.dll | wc -l)" = 8 ]
# Our own DeviceInfo.dll, which the setup programs ship, exports the same names in both widths.
for preset in windows:x86_64 windows-i686:i686; do
    IFS=: read -r name arch <<<"$preset"
    diff <(exports x86_64-w64-mingw32-objdump build/windows/bin/DeviceInfo.dll | sort) \
        <(exports "$arch-w64-mingw32-objdump" "build/$name/DeviceInfo/DeviceInfo.dll" | sort)
done
echo "== both builds: system DLLs only; the stand-in library's eight names in both widths"
if [ ${#presets[@]} -eq 1 ]; then
    echo "== windows-i686: built, not run: this machine runs no 32-bit programs" \
        "(/usr/lib/wine/wine does not start)"
fi

# A prefix of its own, made anew each run: nothing from an earlier run or the user's ~/.wine.
# One 64-bit prefix runs both widths.
export WINEPREFIX=$root/build/windows/wineprefix
# No Mono or Gecko installers, and a crash ends the program instead of waiting in a debugger.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
rm -rf "$WINEPREFIX"

# The window's X server, private to this run.
work=$root/build/windows/end-to-end
rm -rf "$work"
mkdir -p "$work/windows" "$work/linux"
start_x_server
cleanup() {
    wineserver --kill 2>/dev/null || true
    kill "$x_server" 2>/dev/null || true
}
trap cleanup EXIT

echo "== Wine prefix"
$WINE wineboot --init >/dev/null 2>&1
wine_desktop
# Drives E and F are copies of the demo drives. Wine's mount manager learns of them when it
# starts, so the server starts anew after they are mapped, and stays for the whole run.
cp -r demo/drives "$work/linux/"
wineserver --wait
for drive in E F; do
    mkdir -p "$work/windows/$drive"
    ln -s "$work/windows/$drive" "$WINEPREFIX/dosdevices/${drive,,}:"
done
wineserver --persistent
$WINE wineboot >/dev/null 2>&1

# The tests find no model list in the registry; the end-to-end runs import the demo's.
for preset in "${presets[@]}"; do
    echo "== $preset: tests"
    ctest --preset "$preset" -j2
done
$WINE reg import "$($WINE winepath -w demo/hkcu.reg)" 2>/dev/null

# The drive copies the Windows side works on, as the demo has them.
fresh_drives() {
    for drive in E F; do
        rm -rf "${work:?}/windows/$drive/"{*,.[!.]*}
        cp -r "demo/drives/$drive/." "$work/windows/$drive/"
    done
}

# The same change made by the Linux build on its own copy of the demo drives is the reference.
cmake --preset dev >/dev/null
cmake --build --preset dev --target private-folders DeviceInfo
linux_cli=$root/build/dev/bin/private-folders
# Wine's mapped folders have no label and call themselves NTFS; the Linux side is told the same.
sed -E 's/^([EF]\t[^\t]*\t[^\t]*\t[01]).*/\1\t\tNTFS/' demo/lunavio.sim >"$work/linux/lunavio.sim"
linux() {
    LUNAVIO_SIMULATION=$work/linux/lunavio.sim LUNAVIO_REGISTRY=$root/demo/hkcu.reg \
        "$linux_cli" "$@"
}
linux show E >"$work/linux.show"
linux set E --password 4321 --private MUSIC --public PHOTOS >"$work/linux.set"
linux show E >"$work/linux.after"
reference=$work/linux/drives/E/MPlay.sys

# The stand-in DeviceInfo.dll reports the drives that the file LUNAVIO_DEVICE_RECORDS names
# lists (the simulation file's format); the window runs rewrite their copy of it.
records=$work/records.sim
cp demo/lunavio.sim "$records"
export LUNAVIO_DEVICE_RECORDS
LUNAVIO_DEVICE_RECORDS=$($WINE winepath -w "$records")

cli_end_to_end() { # <bin folder>: private-folders.exe against the Linux build
    local cli=$1/private-folders.exe
    fresh_drives
    $WINE "$cli" --version
    $WINE "$cli" drives | tr -d '\r' | tee "$work/windows.drives"
    grep -q '^  E:\\  device drive' "$work/windows.drives"
    grep -q '^  F:\\  device drive' "$work/windows.drives"
    $WINE "$cli" show E | tr -d '\r' >"$work/windows.show"
    $WINE "$cli" set E --password 4321 --private MUSIC --public PHOTOS | tr -d '\r' \
        >"$work/windows.set"
    $WINE "$cli" show E | tr -d '\r' >"$work/windows.after"
    for step in show set after; do
        diff -u "$work/linux.$step" "$work/windows.$step"
    done
    cmp "$reference" "$work/windows/E/MPlay.sys"
    if [ -e "$work/windows/F/MPlay.sys" ]; then
        cmp "$work/linux/drives/F/MPlay.sys" "$work/windows/F/MPlay.sys"
    fi
    if cmp -s demo/drives/E/MPlay.sys "$work/windows/E/MPlay.sys"; then
        echo "set E changed nothing" >&2
        return 1
    fi
    echo "== end to end: Windows and Linux wrote the same bytes"
}

set_records() { # the drives the device reports, by letter
    : >"$records"
    for letter in "$@"; do
        printf '%s\tdrives/%s\tUSB\\VID_3B17&PID_0512\\LUNAVIO0001\t1\n' "$letter" "$letter" \
            >>"$records"
    done
}

window_end_to_end() { # <bin folder> <screenshot or empty>
    window_exe=$1/private-folder-setup.exe
    probe_exe=$1/window-probe.exe
    local E="Local Drive (E:\\)" F="Local Drive (F:\\)" G="Local Drive (G:\\)"
    fresh_drives
    rm -rf "$work/windows/G" "$WINEPREFIX/dosdevices/g:"

    echo "-- opens on the device's drives, E listed"
    set_records E F
    start_window
    expect "selector$T$E" "entry${T}0$T$E" "entry${T}1$T$F" \
        "button${T}save${T}enabled" "button${T}exit${T}enabled" \
        "button${T}markprivate${T}disabled" "button${T}markpublic${T}disabled" \
        "focus${T}save"
    expect_row "[0-9]*${T}private$T-${T}Movies$T"
    expect_row "[0-9]*${T}public$T-${T}MUSIC$T"
    if [ -n "$2" ]; then
        local x y w h
        read -r x y w h <"$work/frame"
        import -window root -crop "${w}x$h+$x+$y" +repage "$2"
    fi

    echo "-- tab order; Enter and Escape press no button; every device event answered TRUE"
    for next in exit drive password folders save; do
        press Tab
        expect "focus$T$next"
    done
    press Return Escape
    expect_no_box
    expect "focus${T}save"
    for event in query other; do
        [ "$(probe ask "$event")" = 1 ] || fail "device event $event not answered TRUE"
    done

    echo "-- marking, a new password and Save write the Linux build's bytes"
    local music photos
    music=$(probe state | awk -F'\t' '$1 == "row" && $5 == "MUSIC" { print $2 }')
    photos=$(probe state | awk -F'\t' '$1 == "row" && $5 == "PHOTOS" { print $2 }')
    click row "$music"
    expect "button${T}markprivate${T}enabled" "button${T}markpublic${T}disabled"
    click markprivate
    expect "button${T}markprivate${T}disabled" "button${T}markpublic${T}disabled"
    expect_row "$music${T}private$T"
    click row "$photos"
    expect "button${T}markprivate${T}disabled" "button${T}markpublic${T}enabled"
    click markpublic
    expect "button${T}markpublic${T}disabled"
    expect_row "$photos${T}public$T"
    # A private row enables only "Mark as Public"; a row whose name is too long, or empty
    # space, which clears the selection, enables neither.
    local long
    long=$(probe state | awk -F'\t' '$1 == "row" && $7 == "Name too long" { print $2; exit }')
    click row "$music"
    expect "button${T}markprivate${T}disabled" "button${T}markpublic${T}enabled"
    click row "$long"
    expect "button${T}markprivate${T}disabled" "button${T}markpublic${T}disabled"
    click row "$music"
    expect "button${T}markpublic${T}enabled"
    click folders # the middle of the list, below its rows
    expect "button${T}markprivate${T}disabled" "button${T}markpublic${T}disabled"
    ! has_row "$music${T}private${T}selected$T" || fail "the row stays selected"
    click password
    press End BackSpace BackSpace BackSpace BackSpace 4 3 2 1
    expect "password${T}4321"
    click save
    expect_box "Lunavio Utility" "Save to $E OK!" noicon
    cmp "$reference" "$work/windows/E/MPlay.sys"

    echo "-- the password box takes digits only; a refused leave and Escape"
    click password
    press Home a b
    expect "password${T}4321"
    press End BackSpace
    expect "password${T}432 "
    click exit # refused: the click does nothing else
    expect_box "Private folder setup" "Invalid input value.  Use escape key to abandon changes" icon
    expect "focus${T}password" "password${T}432 "
    press Escape
    expect "password${T}4321"

    echo "-- the list's menu marks from the keyboard"
    click row "$photos"
    expect "button${T}markprivate${T}enabled"
    press shift+F10 Down Return
    expect_row "$photos${T}private$T"

    echo "-- a drive mapped while open appears; its removal falls back"
    mkdir -p "$work/windows/G"
    cp -r demo/drives/F/. "$work/windows/G/"
    ln -s "$work/windows/G" "$WINEPREFIX/dosdevices/g:"
    set_records E F G
    probe broadcast arrival G
    expect "entry${T}2$T$G" "selector$T$E"
    expect_no_box
    click drive
    press Down Down
    expect "selector$T$G"
    expect_row "[0-9]*${T}public$T-${T}Documents$T"
    set_records E F
    rm "$WINEPREFIX/dosdevices/g:"
    probe broadcast removal G
    expect_box "Private folder setup Ver.1.01" "$G is not found. Change the current drive to $E" noicon
    expect "selector$T$E" "button${T}save${T}enabled"
    expect_no_line "entry${T}2$T$G"
    set_records
    probe broadcast removal E
    expect "selector$T --- No avaliable drive ---" "button${T}save${T}disabled"
    expect_no_line "entry${T}0$T$E"
    set_records E F
    probe broadcast arrival E
    expect "selector$T$E" "button${T}save${T}enabled"
    expect_no_box
    close_window

    echo "-- no drive: the no-drive state"
    set_records
    start_window
    expect "selector$T --- No avaliable drive ---" "button${T}save${T}disabled" "focus${T}exit"
    expect_no_line "entry${T}0$T$E"
    close_window
    echo "== window: as a user drives it"
}

for preset in "${presets[@]}"; do
    bin=$root/build/$preset/bin
    echo "== $preset: private-folders.exe end to end"
    cli_end_to_end "$bin"
    echo "== $preset: private-folder-setup.exe end to end"
    shot=
    [ "$preset" = windows ] && shot=$root/build/windows/screenshot-windows.png
    window_end_to_end "$bin" "$shot"
done

echo "== setup programs"
bash scripts/test-windows-setup.sh build/windows/private-folder-setup-*-x64-setup.exe build/windows
if [ -n "$WINE_RUNS_32BIT" ]; then
    bash scripts/test-windows-setup.sh build/windows-i686/private-folder-setup-*[0-9]-setup.exe \
        build/windows-i686
else
    echo "== 32-bit setup program: not run, this machine runs no 32-bit programs"
fi
echo "== Windows part: $((SECONDS - started)) s"
