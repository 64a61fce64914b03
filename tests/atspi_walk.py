"""What the window tests that walk AT-SPI share: bounded waits and walks of the tree."""

import sys
import time

TIMEOUT = 60  # seconds for every wait; the program under AddressSanitizer starts slowly


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
