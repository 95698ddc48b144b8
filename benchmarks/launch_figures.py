"""Prints the launcher's whole-run figures on Linux: wall time against the fixed 2 s
splash, time from process start to the splash being mapped, and peak resident memory.
Run under an X display; the launcher finds a registered 1.5 runtime (an export file
written here) whose `bin/java` is a stub, with its support files already in place:

    python3 benchmarks/launch_figures.py build/native/launcher/varnolet [runs]
"""

import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
import harness  # noqa: E402


def main():
    launcher = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    work = tempfile.mkdtemp(prefix="tolvarin-figures-")
    try:
        home = os.path.join(work, "jre1.5")
        support = os.path.join(work, "support")
        os.makedirs(support)
        for directory, name in (("lib/ext", "Comm.jar"), ("lib", "javax.comm.properties"),
                                ("bin", "Win32com.dll")):
            os.makedirs(os.path.join(home, directory), exist_ok=True)
            for folder in (os.path.join(home, directory), support):
                with open(os.path.join(folder, name), "w") as f:
                    f.write("stand-in\n")
        java = os.path.join(home, "bin", "java")
        with open(java, "w") as f:
            f.write("#!/bin/sh\necho started >> \"$(dirname \"$0\")/runs\"\n")
        os.chmod(java, 0o755)
        registry = os.path.join(work, "registry.reg")
        runtimes = "HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment"
        with open(registry, "wb") as f:
            f.write(harness.reg_export({runtimes + "\\1.4": {"JavaHome": "/nonexistent"},
                                        runtimes + "\\1.5": {"JavaHome": home}}))
        env = dict(os.environ, TOLVARIN_REGISTRY_FILE=registry, TOLVARIN_SUPPORT_DIR=support)
        walls, mapped, peaks = [], [], []
        def started_runs():
            marker = os.path.join(home, "bin", "runs")
            return len(open(marker).readlines()) if os.path.exists(marker) else 0

        for run in range(runs):
            started = time.monotonic()
            process = subprocess.Popen([launcher], env=env)
            harness.wait_until(lambda: harness.x_windows_of(process.pid), 10, interval=0.002)
            mapped.append(time.monotonic() - started)
            if process.wait() != 0:
                sys.exit("the launcher ended with status %d" % process.returncode)
            walls.append(time.monotonic() - started)
            harness.wait_until(lambda: started_runs() > run, 10)  # the stub outlives the launcher
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
