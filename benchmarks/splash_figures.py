#!/usr/bin/env python3
"""Prints how fast the splash reaches the screen and how much memory the launcher takes,
for the Linux launcher or Varnolet.exe under Wine. Run under an X display (the test display:
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96"):

    splash_figures.py --launcher build/native/launcher/varnolet
    splash_figures.py --launcher build/windows-x64/launcher/Varnolet.exe \\
        --emulator build/windows-x64/wine-emulator.sh \\
        --probe build/windows-x64/benchmarks/figure_probe.exe

"Drawn" is the moment the splash picture's light blue first shows in the screen's middle
row, where the picture lies, polled straight from the X server every millisecond. Under
Wine the clock starts before `wine` itself starts; the probe's own figure, from
CreateProcess to the splash shown, painted and idle, is printed beside it.
"""

import argparse
import ctypes
import ctypes.util
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

Z_PIXMAP = 2
ALL_PLANES = ctypes.c_ulong(-1).value
STRIP = 48  # pixels from the splash's left edge that the poll looks at
PATIENCE = 15.0


class XScreen:
    """Reads pixels of the root window through Xlib."""

    def __init__(self):
        self.xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xlib.XOpenDisplay.restype = ctypes.c_void_p
        self.xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        self.xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.xlib.XGetImage.restype = ctypes.c_void_p
        self.xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.xlib.XGetPixel.restype = ctypes.c_ulong
        self.xlib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        self.xlib.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.xlib.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.xlib.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.display = self.xlib.XOpenDisplay(None)
        if not self.display:
            raise SystemExit("no X display")
        self.root = self.xlib.XDefaultRootWindow(self.display)
        self.width = self.xlib.XDisplayWidth(self.display, 0)
        self.height = self.xlib.XDisplayHeight(self.display, 0)

    def row(self, x, y, width):
        image = self.xlib.XGetImage(self.display, self.root, x, y, width, 1, ALL_PLANES, Z_PIXMAP)
        try:
            values = [self.xlib.XGetPixel(image, i, 0) for i in range(width)]
        finally:
            self.xlib.XDestroyImage(image)
        return [((v >> 16) & 255, (v >> 8) & 255, v & 255) for v in values]

    def picture_shown(self, client_width):
        left = (self.width - client_width) // 2
        light_blue = [r for r, g, b in self.row(left, self.height // 2, STRIP)
                      if b >= 200 and b > r + 15 and g > r]
        return len(light_blue) >= STRIP // 2


def wait_drawn(screen, started):
    while time.monotonic() - started < PATIENCE:
        if screen.picture_shown(493):
            return time.monotonic() - started
        time.sleep(0.001)
    raise SystemExit("the splash never showed its picture")


def stub_java_dir(work):
    stub = os.path.join(work, "java")
    with open(stub, "w") as f:
        f.write("#!/bin/sh\nexit 0\n")
    os.chmod(stub, 0o755)
    return work


def one_run(screen, command, work, env):
    """Starts `command`, returns (seconds until drawn, peak resident KiB), ending it."""
    started = time.monotonic()
    process = subprocess.Popen(command, cwd=work, env=env)
    try:
        drawn = wait_drawn(screen, started)
    finally:
        process.send_signal(signal.SIGKILL)
        _, _, usage = os.wait4(process.pid, 0)
        process.returncode = 0
    while screen.picture_shown(493):  # let the X server forget the window before the next run
        time.sleep(0.01)
    return drawn, usage.ru_maxrss


def probe_run(probe_command, work):
    output = subprocess.run(probe_command, cwd=work, capture_output=True, text=True, timeout=PATIENCE).stdout
    facts = json.loads(output.splitlines()[-1])
    return facts["drawn_ms"], facts["peak_working_set_kb"]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--probe")
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    screen = XScreen()
    launcher = os.path.abspath(args.launcher)
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, PATH=stub_java_dir(work) + os.pathsep + os.environ["PATH"])
        command = [os.path.abspath(args.emulator), launcher] if args.emulator else [launcher]
        one_run(screen, command, work, env)  # warms caches and, under Wine, the wineserver
        runs = [one_run(screen, command, work, env) for _ in range(args.runs)]
        drawn = sorted(1000 * seconds for seconds, _ in runs)
        print(f"runs: {args.runs}")
        print(f"process start to splash drawn: median {statistics.median(drawn):.0f} ms "
              f"(min {drawn[0]:.0f}, max {drawn[-1]:.0f})")
        print(f"peak resident memory: median {statistics.median(r for _, r in runs) / 1024:.1f} MiB")
        if args.probe:
            probe = [os.path.abspath(args.emulator), os.path.abspath(args.probe), "drawn",
                     "Z:" + launcher.replace("/", "\\")]
            inner = [probe_run(probe, work) for _ in range(args.runs)]
            print("inside Wine, CreateProcess to splash shown, painted and idle: median "
                  f"{statistics.median(ms for ms, _ in inner):.0f} ms; peak working set: median "
                  f"{statistics.median(kb for _, kb in inner) / 1024:.1f} MiB")


if __name__ == "__main__":
    sys.exit(main())
