#!/usr/bin/env python3
"""The setup window on Wayland: the program under a headless weston, on Qt's Wayland platform.

Usage: window_wayland_test.py PROGRAM COMPANION DEMO_DIR

Starts weston with its headless backend in a runtime folder of its own, a private session bus
and the program on a copy of the demo device, with QT_QPA_PLATFORM=wayland and no X display.
It checks what the program asks of the compositor (read from the client's own protocol log,
WAYLAND_DEBUG): the caption, a fixed size of 565 x 404, and message boxes that name the window
as their parent, the ownerless ones too. Through AT-SPI it checks that the window shows with
its controls named, that "Save" writes the same MPlay.sys as the companion does for the same
settings, that the message boxes say what they should, that a drive pulled out and plugged in
(the simulation file edited) updates the drive selector, and that "Exit" ends the program.

The headless backend has no seat: no key or click reaches a client, so what needs input
(marking a clicked row, the password box's refused leave, the list's keyboard menu) is left
to the widget tests. Exits with 77 (skipped) only when weston cannot start.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from atspi_walk import TIMEOUT, poll, related, walk

SKIPPED = 77
CAPTION = "Private folder setup Ver.1.01"
INNER = "LUNAVIO_WAYLAND_SESSION"


def start_weston(runtime):
    """weston on its headless backend; returns (process, socket name), or None when it cannot
    start."""
    weston = shutil.which("weston")
    if weston is None:
        print("no weston on this machine")
        return None
    socket = "lunavio-%d" % os.getpid()
    with open(os.path.join(runtime, "weston.log"), "w") as log:
        server = subprocess.Popen(
            [weston, "--backend=headless-backend.so", "--socket=" + socket, "--idle-time=0",
             "--no-config"],
            env=dict(os.environ, XDG_RUNTIME_DIR=runtime), stdout=log, stderr=subprocess.STDOUT)
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline and server.poll() is None:
        if os.path.exists(os.path.join(runtime, socket)):
            return server, socket
        time.sleep(0.1)
    if server.poll() is None:
        server.kill()
    server.wait()
    with open(os.path.join(runtime, "weston.log")) as f:
        print("weston did not start:\n" + f.read())
    return None


def outer(argv):
    """Runs this script again inside a private session bus, beside a headless weston."""
    runtime = tempfile.mkdtemp()  # mode 0700, as Wayland wants its runtime folder
    try:
        started = start_weston(runtime)
        if started is None:
            return SKIPPED
        server, socket = started
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=socket,
                   **{INNER: "1"})
        try:
            for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"):
                env.pop(name, None)
            result = subprocess.run(
                ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__)] + argv,
                env=env, timeout=4 * TIMEOUT, check=False)
            return result.returncode
        finally:
            server.terminate()
            server.wait(timeout=TIMEOUT)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)


class ProtocolLog:
    """The requests the program sent the compositor, from its WAYLAND_DEBUG output."""

    def __init__(self, path):
        self.path = path

    def requests(self):
        with open(self.path, errors="replace") as f:
            return [line for line in f if " -> " in line]

    def toplevels(self):
        """Each xdg_toplevel in the order they were made: (object name, its requests)."""
        made = []
        for line in self.requests():
            m = re.search(r"-> xdg_surface@\d+\.get_toplevel\(new id (xdg_toplevel@\d+)\)", line)
            if m:
                made.append((m.group(1), []))  # an object name is reused once destroyed
                continue
            m = re.search(r"-> (xdg_toplevel@\d+)\.(\w+)\((.*)\)", line)
            if m:
                for name, requests in reversed(made):
                    if name == m.group(1):
                        requests.append((m.group(2), m.group(3)))
                        break
        return made


def inner(program, companion, demo):
    import pyatspi

    work = tempfile.mkdtemp()
    failures = []
    check = failures.append
    try:
        device = os.path.join(work, "device")
        shutil.copytree(demo, device)
        simulation = os.path.join(device, "lunavio.sim")
        log = ProtocolLog(os.path.join(work, "protocol.log"))
        env = dict(os.environ,
                   LUNAVIO_SIMULATION=simulation,
                   LUNAVIO_REGISTRY=os.path.join(device, "hkcu.reg"),
                   QT_QPA_PLATFORM="wayland",
                   WAYLAND_DEBUG="client",
                   QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        app = None
        try:
            def application():
                for candidate in pyatspi.Registry.getDesktop(0):
                    if candidate is not None and candidate.get_process_id() == app.pid:
                        return candidate
                return None

            def window_with_rows():
                if app.poll() is not None:
                    return "ended"
                for window in application() or []:
                    cells = [n for n in walk(window) if n.getRoleName() == "table cell"]
                    if window.name == CAPTION and len(cells) >= 12:
                        return window
                return None

            with open(log.path, "w") as stderr:
                app = subprocess.Popen([program], env=env, stderr=stderr)
            window = poll("the window and its rows", window_with_rows)
            if window == "ended":
                sys.exit("the program ended with %d before its window showed" % app.returncode)
            nodes = list(walk(window))

            def find(role, name):
                return [n for n in nodes if n.getRoleName() == role and n.name == name]

            # What the program asked of the compositor for its window.
            toplevels = log.toplevels()
            main = [(name, requests) for name, requests in toplevels
                    if ("set_title", '"%s"' % CAPTION) in requests]
            if len(main) != 1:
                check("no toplevel with the caption as its title: %r" % toplevels)
            else:
                requests = main[0][1]
                for hint in ("set_min_size", "set_max_size"):
                    sizes = [args for request, args in requests if request == hint]
                    if not sizes or sizes[-1] != "565, 404":
                        check("%s of the window: %r, expected 565, 404" % (hint, sizes))

            # The window as AT-SPI sees it: its client area, fixed, and its controls named.
            extents = window.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
            if (extents.width, extents.height) != (565, 404):
                check("client area %dx%d, expected 565x404" % (extents.width, extents.height))
            if window.getState().contains(pyatspi.STATE_RESIZABLE):
                check("the window says it can be resized")
            for button in ("Save", "Exit", "Mark as Private", "Mark as Public"):
                if len(find("push button", button)) != 1:
                    check("no push button %r" % button)
            for field_role, caption in (("text", "Password (4 digits):"), ("combo box", "Drive")):
                fields = [n for n in nodes if n.getRoleName() == field_role
                          and caption in related(n, pyatspi.RELATION_LABELLED_BY)]
                if len(find("label", caption)) != 1 or len(fields) != 1:
                    check("%r labels no %s" % (caption, field_role))
            if not find("tree", "Root Folders") and not find("tree table", "Root Folders"):
                check("no folder list named 'Root Folders'")
            rows = sorted(n.name.split(",")[0] for n in nodes
                          if n.getRoleName() == "table cell" and ", modified " in n.name)
            if rows != sorted(["Holiday Videos 2024 Summer", "Movies", "PHOTOS", "MUSIC"]):
                check("rows %r" % rows)

            password = [n for n in nodes if n.getRoleName() == "text"
                        and "Password (4 digits):" in related(n, pyatspi.RELATION_LABELLED_BY)]
            save = find("push button", "Save")
            if not password or not save:
                sys.exit("\n".join(failures))

            def answer_box(expected):
                """The message box now open: its text, its parent, then OK pressed."""
                def box():
                    for candidate in application():
                        if candidate.name == "Lunavio Utility":
                            return candidate
                    return None
                found = poll("the box %r" % expected, box)
                texts = [n.name for n in walk(found) if n.getRoleName() == "label"]
                if expected not in texts:
                    check("box says %r, expected %r" % (texts, expected))
                made = log.toplevels()
                parents = [args for request, args in made[-1][1] if request == "set_parent"]
                if main and (len(made) < 2 or parents[-1:] != [main[0][0]]):
                    check("box %r has the parents %r, not the window" % (expected, parents))
                ok = [n for n in walk(found) if n.getRoleName() == "push button"]
                ok[0].queryAction().doAction(0)
                poll("the box %r to close" % expected, lambda: box() is None)

            # An ownerless box (the password check) and an owned one (the saved drive).
            mplay = os.path.join(device, "drives", "E", "MPlay.sys")
            with open(mplay, "rb") as f:
                before = f.read()
            password[0].queryEditableText().setTextContents("12")
            save[0].queryAction().doAction(0)
            answer_box("Password must be 0000 - 9999")
            with open(mplay, "rb") as f:
                if f.read() != before:
                    check("a refused password changed MPlay.sys")
            password[0].queryEditableText().setTextContents("1357")
            save[0].queryAction().doAction(0)
            answer_box("Save to MEDIA (E:\\) OK!")

            # The companion writes the same settings into a second copy of the device.
            reference = os.path.join(work, "reference")
            shutil.copytree(demo, reference)
            ran = subprocess.run(
                [companion, "set", "E", "--password", "1357"], capture_output=True, text=True,
                env=dict(os.environ, LUNAVIO_SIMULATION=os.path.join(reference, "lunavio.sim"),
                         LUNAVIO_REGISTRY=os.path.join(reference, "hkcu.reg")))
            if ran.returncode != 0:
                check("the companion failed: " + ran.stderr)
            with open(mplay, "rb") as saved, \
                    open(os.path.join(reference, "drives", "E", "MPlay.sys"), "rb") as expected:
                if saved.read() != expected.read():
                    check("the window's MPlay.sys differs from the companion's")

            # Pulling drive F out and plugging it back in, as edits of the simulation file.
            with open(simulation) as f:
                lines = f.read().splitlines(keepends=True)

            def rewrite(kept):
                with open(simulation + ".new", "w") as f:
                    f.writelines(kept)
                os.replace(simulation + ".new", simulation)

            def entries():
                selector = [n for n in walk(window) if n.getRoleName() == "combo box"][0]
                return sorted(n.name for n in walk(selector) if n.getRoleName() == "list item")

            rewrite([line for line in lines if not line.startswith("F\t")])
            poll("drive F to leave the selector", lambda: entries() == ["MEDIA (E:\\)"])
            rewrite(lines)
            poll("drive F to come back", lambda: entries() == ["BACKUP (F:\\)", "MEDIA (E:\\)"])

            # A refresh makes the list's rows anew: the tree is walked again.
            nodes = list(walk(window))
            find("push button", "Exit")[0].queryAction().doAction(0)
            try:
                if app.wait(timeout=TIMEOUT) != 0:
                    check("the program ended with %d" % app.returncode)
            except subprocess.TimeoutExpired:
                check("'Exit' left the program running")
        finally:
            if app is not None and app.poll() is None:
                app.kill()
                app.wait()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    if os.environ.get(INNER) == "1":
        sys.exit(inner(*sys.argv[1:]))
    sys.exit(outer(sys.argv[1:]))
