#!/usr/bin/env python3
"""The setup window as a screen reader meets it: walked through AT-SPI.

Usage: window_accessibility_test.py PROGRAM DEMO_DIR

Starts a private X server, a private session bus (which starts the accessibility bus on
demand) and the program on a copy of the demo device, then checks through AT-SPI that every
control has a name and a role, that the fields are labelled by their captions, that each
folder row says its name, its date, whether it is private and "Name too long" where that
applies, and that "Exit" can be pressed from the accessibility interface.
"""

import os
import shutil
import subprocess
import sys
import tempfile

from atspi_walk import TIMEOUT, main, poll, related, report, start_x_server, walk

CAPTION = "Private folder setup Ver.1.01"
INNER = "LUNAVIO_ACCESSIBILITY_SESSION"


def outer(argv):
    """Runs this script again inside a private session bus on a private X server."""
    started = start_x_server()
    if started is None:
        sys.exit("Xvfb named no display")
    server, display = started
    try:
        env = dict(os.environ, DISPLAY=display, **{INNER: "1"})
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env.pop("AT_SPI_BUS_ADDRESS", None)
        result = subprocess.run(
            ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__)] + argv,
            env=env, timeout=4 * TIMEOUT, check=False)
        return result.returncode
    finally:
        server.terminate()
        server.wait(timeout=TIMEOUT)


def showing(node):
    import pyatspi
    return node.getState().contains(pyatspi.STATE_SHOWING)


def inner(program, demo):
    import pyatspi

    work = tempfile.mkdtemp()
    failures = []
    try:
        device = os.path.join(work, "device")
        shutil.copytree(demo, device)
        env = dict(os.environ,
                   LUNAVIO_SIMULATION=os.path.join(device, "lunavio.sim"),
                   LUNAVIO_REGISTRY=os.path.join(device, "hkcu.reg"),
                   QT_QPA_PLATFORM="xcb",
                   QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        app = None
        try:
            def window_with_rows():
                if app.poll() is not None:
                    return "ended"
                for application in pyatspi.Registry.getDesktop(0):
                    if application is None or application.get_process_id() != app.pid:
                        continue
                    for window in application:
                        cells = [n for n in walk(window) if n.getRoleName() == "table cell"]
                        if window.name == CAPTION and len(cells) >= 12:
                            return window
                return None

            # On a machine shared with other X servers, a start can now and then fail to reach
            # the display; a program that ends before its window shows is started again.
            for _ in range(3):
                app = subprocess.Popen([program], env=env)
                window = poll("the window and its rows", window_with_rows)
                if window != "ended":
                    break
                print("the program ended with %d before its window showed" % app.returncode)
            else:
                sys.exit("the program never showed its window")
            nodes = [n for n in walk(window) if showing(n)]
            check = failures.append

            # Every control a user reaches has a name and a role.
            controls = {"push button", "text", "combo box", "tree", "tree table", "table",
                        "label", "image", "list", "panel", "frame", "dialog", "check box"}
            for node in nodes:
                role = node.getRoleName()
                if not role or role == "unknown":
                    check("a control without a role: %r" % node.name)
                elif role in controls and not node.name:
                    check("a %s without a name" % role)

            def find(role, name):
                return [n for n in nodes if n.getRoleName() == role and n.name == name]

            for button in ("Save", "Exit", "Mark as Private", "Mark as Public"):
                if len(find("push button", button)) != 1:
                    check("no push button %r" % button)
            for field_role, caption in (("text", "Password (4 digits):"), ("combo box", "Drive")):
                labels = find("label", caption)
                fields = [n for n in nodes if n.getRoleName() == field_role
                          and caption in related(n, pyatspi.RELATION_LABELLED_BY)]
                if len(labels) != 1 or len(fields) != 1:
                    check("%r labels no %s" % (caption, field_role))
            if len(find("tree", "Root Folders")) != 1 and len(find("tree table", "Root Folders")) != 1:
                check("no folder list named 'Root Folders'")

            # The rows of drive E: their names as a screen reader reads them.
            rows = {n.name.split(",")[0]: n.name for n in nodes
                    if n.getRoleName() == "table cell" and ", modified " in n.name}
            expected = {"Holiday Videos 2024 Summer": ", public, ",
                        "Movies": ", private, ", "PHOTOS": ", private, ", "MUSIC": ", public, "}
            if set(rows) != set(expected):
                check("rows %s, expected %s" % (sorted(rows), sorted(expected)))
            for name, state in expected.items():
                text = rows.get(name, "")
                if state not in text:
                    check("row %r does not say%s: %r" % (name, state.rstrip(", "), text))
                if text.endswith(", Name too long") != (name == "Holiday Videos 2024 Summer"):
                    check("row %r is wrong about its length: %r" % (name, text))

            # A screen reader user can press "Exit", which ends the program.
            exits = find("push button", "Exit")
            if exits:
                actions = exits[0].queryAction()
                names = [actions.getName(i) for i in range(actions.nActions)]
                if "Press" not in names:
                    check("'Exit' offers no Press action: %r" % names)
                else:
                    actions.doAction(names.index("Press"))
                    try:
                        if app.wait(timeout=TIMEOUT) != 0:
                            check("the program ended with %d" % app.returncode)
                    except subprocess.TimeoutExpired:
                        check("'Exit' pressed through AT-SPI left the program running")
        finally:
            if app is not None and app.poll() is None:
                app.kill()
                app.wait()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    return report(failures)


if __name__ == "__main__":
    main(__doc__, 2, INNER, inner, outer)
