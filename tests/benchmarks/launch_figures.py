"""Prints the launcher's whole-run figures on Linux: wall time against the fixed 2 s
splash, time from process start to the splash being mapped, and peak resident memory.
Run under an X display with a stub `java` on the search path:

    python3 tests/benchmarks/launch_figures.py build/native/launcher/varnolet [runs]
"""

import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
import harness  # noqa: E402


def main():
    launcher = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    work = tempfile.mkdtemp(prefix="tolvarin-figures-")
    try:
        stub_dir = os.path.join(work, "stub")
        os.makedirs(stub_dir)
        with open(os.path.join(stub_dir, "java"), "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(stub_dir, "java"), 0o755)
        env = dict(os.environ, PATH=stub_dir + os.pathsep + os.environ["PATH"])
        walls, mapped, peaks = [], [], []
        for _ in range(runs):
            started = time.monotonic()
            process = subprocess.Popen([launcher], env=env)
            harness.wait_until(lambda: harness.x_windows_of(process.pid), 10, interval=0.002)
            mapped.append(time.monotonic() - started)
            process.wait()
            walls.append(time.monotonic() - started)
            peaks.append(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
        print("runs: %d" % runs)
        print("whole run, median: %.3f s (min %.3f, max %.3f; the splash's own share is 2.000 s)"
              % (statistics.median(walls), min(walls), max(walls)))
        print("start to splash mapped, median: %.1f ms (polled every 2 ms)" % (1000 * statistics.median(mapped)))
        print("peak resident memory: %.1f MiB" % (max(peaks) / 1024.0))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
