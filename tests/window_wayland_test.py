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

The headless backend has no seat: no key reaches a client there. So the keyboard's part runs
on a second weston, its X11 backend in a private Xvfb, whose keys xdotool types: the password
box refuses to be left with two digits and Escape brings its text back once the desktop has
given the window the keyboard again, and the folder list's keyboard menu marks a folder
private, which "Save" writes. Without Xvfb or xdotool, or when that weston does not start,
that part is left out with a note. Exits with 77 (skipped) only when the headless weston
cannot start.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from atspi_walk import TIMEOUT, main, poll, related, report, start_x_server, walk

SKIPPED = 77
CAPTION = "Private folder setup Ver.1.01"
INNER = "LUNAVIO_WAYLAND_SESSION"


def start_weston(runtime, backend="headless-backend.so", x_display=None):
    """weston on the backend; returns (process, socket name), or None when it cannot start."""
    weston = shutil.which("weston")
    if weston is None:
        print("no weston on this machine")
        return None
    socket = "lunavio-%d-%s" % (os.getpid(), backend.split("-")[0])
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    if x_display is not None:
        env["DISPLAY"] = x_display
    with open(os.path.join(runtime, "weston.log"), "w") as log:
        server = subprocess.Popen(
            [weston, "--backend=" + backend, "--socket=" + socket, "--idle-time=0",
             "--no-config", "--width=1024", "--height=768"],
            env=env, stdout=log, stderr=subprocess.STDOUT)
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
    """Runs this script again inside a private session bus, beside a headless weston and one
    with a keyboard, nested in a private Xvfb."""
    runtime = tempfile.mkdtemp()  # mode 0700, as Wayland wants its runtime folder
    seat_runtime = tempfile.mkdtemp()
    servers = []
    try:
        started = start_weston(runtime)
        if started is None:
            return SKIPPED
        servers.append(started[0])
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=started[1],
                   **{INNER: "1"})
        x_server = None
        if shutil.which("Xvfb") and shutil.which("xdotool"):
            x_server = start_x_server()
        if x_server is not None:
            servers.append(x_server[0])
            nested = start_weston(seat_runtime, "x11-backend.so", x_server[1])
            if nested is not None:
                servers.append(nested[0])
                env.update(LUNAVIO_SEAT_X=x_server[1], LUNAVIO_SEAT_RUNTIME=seat_runtime,
                           LUNAVIO_SEAT_WAYLAND=nested[1])
        try:
            for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"):
                env.pop(name, None)
            result = subprocess.run(
                ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__)] + argv,
                env=env, timeout=4 * TIMEOUT, check=False)
            return result.returncode
        finally:
            for server in reversed(servers):
                server.terminate()
                server.wait(timeout=TIMEOUT)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)
        shutil.rmtree(seat_runtime, ignore_errors=True)


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


class Run:
    """The program on a fresh copy of the demo device, under the compositor that env names."""

    def __init__(self, pyatspi, program, demo, folder, env, check):
        self.pyatspi = pyatspi
        self.check = check
        self.device = os.path.join(folder, "device")
        shutil.copytree(demo, self.device)
        self.simulation = os.path.join(self.device, "lunavio.sim")
        self.mplay = os.path.join(self.device, "drives", "E", "MPlay.sys")
        self.log = ProtocolLog(os.path.join(folder, "protocol.log"))
        env = dict(env,
                   LUNAVIO_SIMULATION=self.simulation,
                   LUNAVIO_REGISTRY=os.path.join(self.device, "hkcu.reg"),
                   QT_QPA_PLATFORM="wayland",
                   WAYLAND_DEBUG="client",
                   QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        with open(self.log.path, "w") as stderr:
            self.app = subprocess.Popen([program], env=env, stderr=stderr)
        self.window = poll("the window and its rows", self.window_with_rows)
        if self.window == "ended":
            sys.exit("the program ended with %d before its window showed" % self.app.returncode)
        main = [(name, requests) for name, requests in self.log.toplevels()
                if ("set_title", '"%s"' % CAPTION) in requests]
        self.main = main[0] if len(main) == 1 else None

    def application(self):
        for candidate in self.pyatspi.Registry.getDesktop(0):
            if candidate is not None and candidate.get_process_id() == self.app.pid:
                return candidate
        return None

    def window_with_rows(self):
        if self.app.poll() is not None:
            return "ended"
        for window in self.application() or []:
            cells = [n for n in walk(window) if n.getRoleName() == "table cell"]
            if window.name == CAPTION and len(cells) >= 12:
                return window
        return None

    def find(self, role, name):
        """The window's controls of that role and name (the tree walked afresh: a refresh
        makes the list's rows anew)."""
        return [n for n in walk(self.window) if n.getRoleName() == role and n.name == name]

    def password(self):
        return [n for n in walk(self.window) if n.getRoleName() == "text"
                and "Password (4 digits):" in related(n, self.pyatspi.RELATION_LABELLED_BY)][0]

    def press(self, button):
        self.find("push button", button)[0].queryAction().doAction(0)

    def box(self, text):
        """The open window, other than the setup window, that shows text."""
        for candidate in self.application():
            if candidate.name != CAPTION and text in [
                    n.name for n in walk(candidate) if n.getRoleName() == "label"]:
                return candidate
        return None

    def await_box(self, text):
        """Waits for the box that says text; checks that it names the window as its parent."""
        found = poll("the box %r" % text, lambda: self.box(text))
        made = self.log.toplevels()
        parents = [args for request, args in made[-1][1] if request == "set_parent"]
        if self.main and (len(made) < 2 or parents[-1:] != [self.main[0]]):
            self.check("box %r has the parents %r, not the window" % (text, parents))
        return found

    def answer_box(self, text):
        """The box that says text, answered with its OK."""
        found = self.await_box(text)
        [n for n in walk(found) if n.getRoleName() == "push button"][0].queryAction().doAction(0)
        poll("the box %r to close" % text, lambda: self.box(text) is None)

    def expect_file_of_companion(self, companion, demo, folder, args):
        """MPlay.sys of E as the companion writes it with args on another copy of the device."""
        reference = os.path.join(folder, "reference")
        shutil.copytree(demo, reference)
        ran = subprocess.run(
            [companion, "set", "E"] + args, capture_output=True, text=True,
            env=dict(os.environ, LUNAVIO_SIMULATION=os.path.join(reference, "lunavio.sim"),
                     LUNAVIO_REGISTRY=os.path.join(reference, "hkcu.reg")))
        if ran.returncode != 0:
            self.check("the companion failed: " + ran.stderr)
        with open(self.mplay, "rb") as saved, \
                open(os.path.join(reference, "drives", "E", "MPlay.sys"), "rb") as expected:
            if saved.read() != expected.read():
                self.check("the window's MPlay.sys differs from the companion's set %r" % args)

    def exit(self):
        self.press("Exit")
        try:
            if self.app.wait(timeout=TIMEOUT) != 0:
                self.check("the program ended with %d" % self.app.returncode)
        except subprocess.TimeoutExpired:
            self.check("'Exit' left the program running")

    def stop(self):
        if self.app.poll() is None:
            self.app.kill()
            self.app.wait()


def headless_part(run, companion, demo, folder):
    """The window, its boxes and hot-plug, with no input but AT-SPI's."""
    pyatspi, check = run.pyatspi, run.check
    # What the program asked of the compositor for its window.
    if run.main is None:
        check("no single toplevel with the caption as its title: %r" % run.log.toplevels())
    else:
        for hint in ("set_min_size", "set_max_size"):
            sizes = [args for request, args in run.main[1] if request == hint]
            if not sizes or sizes[-1] != "565, 404":
                check("%s of the window: %r, expected 565, 404" % (hint, sizes))

    # The window as AT-SPI sees it: its client area, fixed, and its controls named.
    window = run.window
    extents = window.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    if (extents.width, extents.height) != (565, 404):
        check("client area %dx%d, expected 565x404" % (extents.width, extents.height))
    if window.getState().contains(pyatspi.STATE_RESIZABLE):
        check("the window says it can be resized")
    for button in ("Save", "Exit", "Mark as Private", "Mark as Public"):
        if len(run.find("push button", button)) != 1:
            check("no push button %r" % button)
    nodes = list(walk(window))
    for field_role, caption in (("text", "Password (4 digits):"), ("combo box", "Drive")):
        fields = [n for n in nodes if n.getRoleName() == field_role
                  and caption in related(n, pyatspi.RELATION_LABELLED_BY)]
        if len(run.find("label", caption)) != 1 or len(fields) != 1:
            check("%r labels no %s" % (caption, field_role))
    if not run.find("tree", "Root Folders") and not run.find("tree table", "Root Folders"):
        check("no folder list named 'Root Folders'")
    rows = sorted(n.name.split(",")[0] for n in nodes
                  if n.getRoleName() == "table cell" and ", modified " in n.name)
    if rows != sorted(["Holiday Videos 2024 Summer", "Movies", "PHOTOS", "MUSIC"]):
        check("rows %r" % rows)

    # An ownerless box (the password check) and an owned one (the saved drive).
    with open(run.mplay, "rb") as f:
        before = f.read()
    run.password().queryEditableText().setTextContents("12")
    run.press("Save")
    run.answer_box("Password must be 0000 - 9999")
    with open(run.mplay, "rb") as f:
        if f.read() != before:
            check("a refused password changed MPlay.sys")
    run.password().queryEditableText().setTextContents("1357")
    run.press("Save")
    run.answer_box("Save to MEDIA (E:\\) OK!")
    run.expect_file_of_companion(companion, demo, folder, ["--password", "1357"])

    # Pulling drive F out and plugging it back in, as edits of the simulation file.
    with open(run.simulation) as f:
        lines = f.read().splitlines(keepends=True)

    def rewrite(kept):
        with open(run.simulation + ".new", "w") as f:
            f.writelines(kept)
        os.replace(run.simulation + ".new", run.simulation)

    def entries():
        selector = [n for n in walk(window) if n.getRoleName() == "combo box"][0]
        return sorted(n.name for n in walk(selector) if n.getRoleName() == "list item")

    rewrite([line for line in lines if not line.startswith("F\t")])
    poll("drive F to leave the selector", lambda: entries() == ["MEDIA (E:\\)"])
    rewrite(lines)
    poll("drive F to come back", lambda: entries() == ["BACKUP (F:\\)", "MEDIA (E:\\)"])
    run.exit()


def keyboard_part(run, companion, demo, folder, x_display):
    """The password box's refused leave and Escape, and the list's keyboard menu, typed."""
    pyatspi, check = run.pyatspi, run.check
    x_env = dict(os.environ, DISPLAY=x_display)

    def keys(*names):
        subprocess.run(["xdotool", "key", "--delay", "60"] + list(names), env=x_env, check=True)

    def focused(node):
        return (run.window.getState().contains(pyatspi.STATE_ACTIVE)
                and node.getState().contains(pyatspi.STATE_FOCUSED))

    # From "Save", which has the focus at the start: "Exit", the selector, the password box.
    poll("the window to have the keyboard", lambda: focused(run.find("push button", "Save")[0]))
    keys("Tab", "Tab", "Tab")
    poll("the password box to have the focus", lambda: focused(run.password()))
    keys("End", "BackSpace", "BackSpace", "Tab")
    run.await_box("Invalid input value.  Use escape key to abandon changes")
    keys("Return")
    # The desktop gives the window the keyboard back once the box is gone.
    poll("the focus back in the password box", lambda: focused(run.password()))
    text = run.password().queryText().getText(0, -1)
    if not text.startswith("25") or text.startswith("2580"):
        check("the refused text is %r, expected the two digits left" % text)
    keys("Escape")
    poll("Escape to bring back the stored password",
         lambda: run.password().queryText().getText(0, -1) == "2580")

    # The folder list's keyboard menu: the last row, MUSIC, is public, and the menu's first
    # enabled item is "Mark as Private". The first key only makes a row current.
    keys("Tab")
    poll("the list to have the focus",
         lambda: any(focused(n) for n in run.find("tree", "Root Folders")))
    def popups():
        with open(run.log.path, errors="replace") as f:
            return sum(1 for line in f if re.search(r"\] xdg_popup@\d+\.configure\(", line))

    shown = popups()
    keys("Home", "End", "Menu")
    poll("the list's menu", lambda: popups() > shown)
    keys("Down", "Return")
    poll("MUSIC to be marked private", lambda: [
        n for n in walk(run.window)
        if n.getRoleName() == "table cell" and n.name.startswith("MUSIC, private, ")])
    run.press("Save")
    run.answer_box("Save to MEDIA (E:\\) OK!")
    run.expect_file_of_companion(companion, demo, folder, ["--private", "MUSIC"])
    run.exit()


def inner(program, companion, demo):
    import pyatspi

    work = tempfile.mkdtemp()
    failures = []
    try:
        parts = [("headless", dict(os.environ), headless_part, ())]
        if "LUNAVIO_SEAT_WAYLAND" in os.environ:
            seat = dict(os.environ, WAYLAND_DISPLAY=os.environ["LUNAVIO_SEAT_WAYLAND"],
                        XDG_RUNTIME_DIR=os.environ["LUNAVIO_SEAT_RUNTIME"])
            parts.append(("keyboard", seat, keyboard_part, (os.environ["LUNAVIO_SEAT_X"],)))
        else:
            print("NOTE: no Xvfb, xdotool or nested weston: the keyboard's part is left out")
        for name, env, part, extra in parts:
            folder = os.path.join(work, name)
            os.makedirs(folder)

            def check(failure, name=name):
                failures.append("%s: %s" % (name, failure))

            run = Run(pyatspi, program, demo, folder, env, check)
            try:
                part(run, companion, demo, folder, *extra)
            finally:
                run.stop()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    return report(failures)


if __name__ == "__main__":
    main(__doc__, 3, INNER, inner, outer)
