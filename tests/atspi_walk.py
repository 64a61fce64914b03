"""What the window tests that walk AT-SPI share: a private X server, bounded waits and walks
of the tree."""

import os
import select
import subprocess
import sys
import time

TIMEOUT = 60  # seconds for every wait; the program under AddressSanitizer starts slowly


def start_x_server():
    """A private Xvfb on a display it picks itself; returns (process, display), or None when it
    named no display."""
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        stdout=subprocess.PIPE)
    deadline = time.monotonic() + TIMEOUT
    line = b""
    while not line.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([server.stdout], [], [], 0.5)
        if ready:
            chunk = os.read(server.stdout.fileno(), 64)
            if not chunk:
                break
            line += chunk
    if not line.strip():
        server.kill()
        server.wait()
        return None
    return server, ":" + line.decode().strip()


def poll(what, probe):
    """probe() until it gives something true; bounded by TIMEOUT."""
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under the walk while the program works
            found = None
        if found:
            return found
        time.sleep(0.1)
    sys.exit("timed out waiting for " + what)


def walk(node):
    """node and all its descendants."""
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def related(node, relation):
    """The names of the objects node has relation to."""
    names = []
    for rel in node.getRelationSet():
        if rel.getRelationType() == relation:
            names += [rel.getTarget(i).name for i in range(rel.getNTargets())]
    return names


def report(failures):
    """Prints each failure; the exit status of a test that found them."""
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


def main(doc, arguments, inner_variable, inner, outer):
    """Runs outer(arguments), which starts the session and this script again inside it, where
    inner_variable is "1" and inner(*arguments) runs; doc is the usage for a wrong count."""
    given = sys.argv[1:]
    if len(given) != arguments:
        sys.exit(doc)
    if os.environ.get(inner_variable) == "1":
        sys.exit(inner(*given))
    sys.exit(outer(given))
