#!/usr/bin/env python3
"""Whole runs of `private-folders show E` and of the window (offscreen, closed at once) on a
copy of the demo device, timed from start to the end of the process; for the window also its
ending: from the end of its modal run to the end of the process.

Usage: exit_bench.py DEMO_DIR RUNS LABEL=BIN_DIR [LABEL=BIN_DIR ...]

Each BIN_DIR is a build's bin folder with both programs and bench/libclose_at_once.so; the
preloads come from the first one. Every build also runs with inotify refused (label + " -
no watch"), as the programs were before they watched any file. The runs of all variants are
interleaved at random, so a busy machine weighs on each alike; the table gives medians and
quartiles in milliseconds.
"""

import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def main(demo, runs, builds):
    first = builds[0][1]
    close = os.path.join(first, "bench", "libclose_at_once.so")
    refuse = os.path.join(first, "bench", "libno_inotify.so")
    work = tempfile.mkdtemp()
    try:
        device = os.path.join(work, "device")
        shutil.copytree(demo, device)
        base = dict(os.environ, LUNAVIO_SIMULATION=os.path.join(device, "lunavio.sim"),
                    LUNAVIO_REGISTRY=os.path.join(device, "hkcu.reg"), QT_QPA_PLATFORM="offscreen")
        variants = []
        for label, bin_dir in builds:
            for suffix, preload in (("", []), (" - no watch", [refuse])):
                show = ([os.path.join(bin_dir, "private-folders"), "show", "E"], preload)
                window = ([os.path.join(bin_dir, "private-folder-setup")], preload + [close])
                variants.append(("show E, " + label + suffix, show))
                variants.append(("window, " + label + suffix, window))
        clock = os.path.join(work, "clock")
        base["EXIT_BENCH_CLOCK"] = clock
        times = {name: [] for name, _ in variants}
        endings = {name: [] for name, _ in variants}
        order = [v for v in variants for _ in range(runs)]
        random.shuffle(order)
        for name, (command, preload) in order:
            env = dict(base, LD_PRELOAD=":".join(preload)) if preload else base
            if os.path.exists(clock):
                os.remove(clock)
            start = time.monotonic_ns()
            subprocess.run(command, env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True, timeout=60)
            end = time.monotonic_ns()
            times[name].append((end - start) / 1e6)
            if os.path.exists(clock):
                with open(clock) as f:
                    endings[name].append((end - int(f.read())) / 1e6)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    def cell(values):
        if not values:
            return "- | - |"
        q = statistics.quantiles(values, n=4)
        return "%.1f | %.1f to %.1f |" % (statistics.median(values), q[0], q[2])

    print("| run | whole run, median ms | quartiles | ending, median ms | quartiles |")
    print("|---|---|---|---|---|")
    for name, _ in variants:
        print("| %s | %s %s" % (name, cell(times[name]), cell(endings[name])))


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], int(sys.argv[2]),
         [tuple(arg.split("=", 1)) for arg in sys.argv[3:]])
