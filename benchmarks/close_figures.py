#!/usr/bin/env python3
"""Prints how long Varnolet.exe takes under Wine to end once its splash is closed from
outside before the tick: the ms from the probe's WM_CLOSE (sent with SendMessageTimeoutW,
or posted) to the window's destruction and to the end of the launcher's process, as the
probe measures them, for each run and the median. Without a window manager (bare Xvfb)
Wine's X11 driver waits 2 s for one to withdraw a shown window before destroying it; that
wait lies inside the first two figures, not the third. Run under the test display
(xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset"):

    close_figures.py build/windows-x64 [another/Varnolet.exe]

It uses the build tree's Wine prefix (made fresh, as a test run makes it) and probe, and the
build's launcher unless another is named.
"""

import json
import os
import statistics
import subprocess
import sys
import tempfile

RUNS = 5


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__)
    build = os.path.abspath(sys.argv[1])
    wine = os.path.join(build, "wine-emulator.sh")
    launcher = os.path.join(build, "launcher", "Varnolet.exe")
    if len(sys.argv) == 3:
        launcher = os.path.abspath(sys.argv[2])
    probe = os.path.join(build, "benchmarks", "figure_probe.exe")
    subprocess.run([wine, "--init"], check=True)
    try:
        for way, command in (("sent", "send-close"), ("posted", "close")):
            figures = []
            for _ in range(RUNS):
                with tempfile.TemporaryFile() as output:
                    launched = subprocess.Popen([wine, launcher], stdout=output, stderr=output)
                    closed = subprocess.run([wine, probe, command, "10000"], capture_output=True, text=True)
                    if launched.poll() is None:
                        launched.kill()
                    launched.wait()
                answer = json.loads(closed.stdout.splitlines()[-1])
                ended = answer["ended_ms"] if answer["ended_ms"] is not None else float("inf")
                figures.append((answer["gone_ms"], ended, ended - answer["gone_ms"]))
            print("WM_CLOSE %s (inf: still running 10 s later)" % way)
            for i, name in enumerate(("to the window's destruction", "to the process's end",
                                      "from the destruction to the end")):
                runs = [f[i] for f in figures]
                print("  %-32s median %6s ms  (%s)" % (name, statistics.median(runs), " ".join(map(str, runs))))
    finally:
        subprocess.run([wine, "--shutdown"])


if __name__ == "__main__":
    main()
