# shellcheck shell=bash disable=SC2034,SC2154
# Sourced by the scripts that drive the setup window under Wine with real clicks and keys
# (xdotool) and read it back through window-probe.exe. They set WINE (scripts/wine.sh), work
# (a folder for the X server's and the window's output), and, before start_window,
# window_exe and probe_exe.

start_x_server() { # a private Xvfb screen; DISPLAY names it, x_server is its process
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    x_server=$!
    for _ in $(seq 50); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    DISPLAY=:$(head -n1 "$work/display")
    export DISPLAY
}
wine_desktop() { # every window of the prefix inside one Wine desktop as large as the screen,
    # so that screen points are Wine's own
    $WINE reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    $WINE reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
}

T=$'\t'
probe() { $WINE "$probe_exe" "$@" | tr -d '\r'; }
press() { xdotool key --delay 60 "$@"; }
click() { # click <control> | click row <n>
    local x y
    read -r x y < <(probe point "$@")
    xdotool mousemove "$x" "$y" click 1
}
fail() {
    echo "window: $*" >&2
    probe state >&2 || true
    exit 1
}
# True within a few seconds: a click's effect may take a moment on a busy machine.
eventually() {
    for _ in $(seq 20); do
        "$@" && return 0
        sleep 0.3
    done
    return 1
}
has_lines() { # every line given is a line of the window's state
    local state line
    state=$(probe state) || return 1
    for line in "$@"; do
        grep -qxF -- "$line" <<<"$state" || return 1
    done
}
has_row() { # a row line of the window's state matches the pattern
    grep -q -- "^row$T$1" <<<"$(probe state)"
}
expect() {
    eventually has_lines "$@" || fail "not all of: $*"
}
expect_row() {
    eventually has_row "$1" || fail "no row '$1'"
}
expect_no_line() { # a line that stays absent
    sleep 0.5
    if grep -qxF -- "$1" <<<"$(probe state)"; then
        fail "unexpected line '$1'"
    fi
}
expect_box() { # <title> <text> <icon|noicon>: the open message box, closed with Enter
    local box=
    for _ in $(seq 20); do
        box=$(probe box) && break
        sleep 0.3
    done
    [ "$box" = "$1$T$2$T$3" ] || fail "box '$box', not '$1$T$2$T$3'"
    press Return
    for _ in $(seq 20); do
        probe box >/dev/null || return 0
        sleep 0.3
    done
    fail "the box '$2' stays open"
}
expect_no_box() {
    sleep 0.5
    if box=$(probe box); then
        fail "unexpected box '$box'"
    fi
}
start_window() {
    $WINE "$window_exe" >"$work/window.log" 2>&1 &
    window_pid=$!
    probe wait 60 >"$work/frame" || fail "the window does not open"
}
close_window() {
    click exit
    probe gone 20 || fail "Exit leaves the window open"
    wait "$window_pid"
}
