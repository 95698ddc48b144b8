#!/usr/bin/env python3
"""Shows the real splash on the X display, freezes it before its timer can tick, takes a
screenshot and checks it by pixel probes: the client area's size, the picture's corners,
text inside every label that has some and nowhere else, none in lblPlatform, and the
title's colour. Fonts differ between machines, so nothing is compared byte for byte. Saves
the client area's part of the screenshot as an artefact. (The window's place and frame are
the end-to-end tests' concern.)

Linux:   splash_screenshot_test.py --launcher varnolet --artefact splash-linux.png
Windows: splash_screenshot_test.py --launcher Varnolet.exe --probe win_probe.exe
             --emulator wine-emulator.sh --artefact splash-windows.png
Exits 77 (skipped) without a display."""

import argparse
import collections
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

SKIPPED = 77
TWIPS_PER_INCH = 1440
CLIENT_TWIPS = (7395, 5025)
FRAME_TWIPS = (0, 0, 7425, 4995)
IMAGE_TWIPS = (0, 1320, 4365, 2835)
# Every label: its rectangle in twips, whether it sizes itself to its text, whether it has any.
LABELS = {
    "lblCompanyProduct": ((360, 120, 6660, 405), True, True),
    "lblProductName": ((1605, 720, 4245, 330), True, True),
    "lblVersion": ((5760, 1440, 1470, 285), True, True),
    "Label2": ((4440, 1800, 2895, 375), False, True),
    "lblPlatform": ((6768, 2340, 84, 360), True, False),
    "lblWarning": ((4440, 2760, 2895, 555), False, True),
    "lblCopyright": ((5640, 3360, 2415, 240), False, True),
    "lblCompany(0)": ((5640, 3600, 2415, 255), False, True),
    "lblCompany(1)": ((5640, 3840, 2415, 255), False, True),
    "Label3": ((240, 4200, 7095, 195), False, True),
}
TITLE_COLOUR = (128, 0, 0)
# A label's font may measure a little wider than the designer's; its text may reach this far.
SIZING_SLACK = 8
# The frame's outline is two pixels wide; anything may be drawn that close to its edges.
OUTLINE = 2
PATIENCE = 20.0
# How long a shown splash may take to reach the screen: well within its two seconds.
DRAWING_TIME = 1.5


def pixels(twips, dpi):
    return (twips * dpi + TWIPS_PER_INCH // 2) // TWIPS_PER_INCH


def rect_pixels(rect, dpi):
    left, top, width, height = rect
    right, bottom = pixels(left + width, dpi), pixels(top + height, dpi)
    return (pixels(left, dpi), pixels(top, dpi), right - pixels(left, dpi), bottom - pixels(top, dpi))


class Screenshot:
    """The X root window as RGB triples, by ImageMagick's import."""

    def __init__(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], check=True,
                              stdout=subprocess.PIPE).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        self.width, self.height = int(header.group(1)), int(header.group(2))
        self.ppm, self.offset = data, header.end()

    def at(self, x, y):
        at = self.offset + 3 * (y * self.width + x)
        return tuple(self.ppm[at:at + 3])

    def save(self, path, left, top, width, height):
        subprocess.run(["convert", "ppm:-", "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                        path], input=self.ppm, check=True)


class LinuxSplash:
    """The FLTK launcher, started from an empty directory with a do-nothing java first on PATH;
    frozen with SIGSTOP, so its timer cannot tick while the test looks."""

    def __init__(self, launcher, workdir):
        stub = os.path.join(workdir, "java")
        with open(stub, "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(stub, 0o755)
        env = dict(os.environ, PATH=workdir + os.pathsep + os.environ.get("PATH", ""))
        self.process = subprocess.Popen([os.path.abspath(launcher)], cwd=workdir, env=env)
        windows = harness.wait_until(lambda: harness.x_windows_of(self.process.pid), PATIENCE)
        if not windows:
            raise SystemExit("no splash window appeared")
        self.client = harness.x_geometry(windows[0])  # no frame of its own: border(0)
        self.dpi = int(re.search(r"resolution:\s+(\d+)x(\d+)",
                                 subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout).group(2))

    def hold(self):
        self.process.send_signal(signal.SIGSTOP)

    def close(self):
        self.process.kill()
        self.process.wait()


class WindowsSplash:
    """Varnolet.exe under Wine, started and frozen by the probe, which reports the client
    area's place through the real Win32 calls."""

    def __init__(self, launcher, probe, emulator, workdir):
        command = [os.path.abspath(emulator), os.path.abspath(probe), "freeze",
                   harness.windows_path(launcher)]
        self.process = subprocess.Popen(command, cwd=workdir, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("{"):
            raise SystemExit("the probe saw no splash window")
        facts = json.loads(line)
        self.dpi = facts["dpi"]
        self.client = tuple(facts["client_origin"] + facts["client_size"])

    def hold(self):
        """The probe has frozen the launcher already."""

    def close(self):
        self.process.communicate("done\n", timeout=PATIENCE)


def is_light_blue(colour):
    red, green, blue = colour
    return blue >= 200 and blue > red + 15 and green > red


def differs(colour, background):
    return sum(abs(a - b) for a, b in zip(colour, background)) > 60


def check(splash, shot, artefact):
    faults = []
    dpi = splash.dpi
    cx, cy, cw, ch = splash.client
    expected_size = (pixels(CLIENT_TWIPS[0], dpi), pixels(CLIENT_TWIPS[1], dpi))
    if (cw, ch) != expected_size:
        faults.append(f"client area {cw}x{ch}, expected {expected_size[0]}x{expected_size[1]}")

    def client_at(x, y):
        return shot.at(cx + x, cy + y)

    counts = collections.Counter(client_at(x, y) for y in range(0, ch, 3) for x in range(0, cw, 3))
    background = counts.most_common(1)[0][0]

    il, it, iw, ih = rect_pixels(IMAGE_TWIPS, dpi)
    inside = [(il, it), (il + iw - 1, it), (il, it + ih - 1), (il + iw - 1, it + ih - 1)]
    # Left of the picture is the window's edge, and the frame's outline runs along it.
    outside = [(il + OUTLINE + 2, it - 1), (il + iw - 1, it - 1), (il + iw, it),
               (il + iw, it + ih - 1), (il + OUTLINE + 2, it + ih), (il + iw - 1, it + ih)]
    for x, y in inside:
        if not is_light_blue(client_at(x, y)):
            faults.append(f"picture corner ({x},{y}) is {client_at(x, y)}, not light blue")
    for x, y in outside:
        if client_at(x, y) != background:
            faults.append(f"({x},{y}) just outside the picture is {client_at(x, y)}, "
                          f"not the dialog colour {background}")

    frame_width = pixels(FRAME_TWIPS[2], dpi)
    frame_height = pixels(FRAME_TWIPS[3], dpi)
    allowed = [(il, it, iw, ih)]
    for name, (rect, sizes_itself, has_text) in LABELS.items():
        lx, ly, lw, lh = rect_pixels(rect, dpi)
        visible_w = min(lw, cw - lx)
        ink = sum(differs(client_at(x, y), background)
                  for y in range(ly, ly + lh) for x in range(lx, lx + visible_w))
        if has_text and ink < 10:
            faults.append(f"{name}: {ink} text pixels in its rectangle")
        if not has_text and ink:
            faults.append(f"{name}: {ink} pixels drawn where nothing should show")
        slack = SIZING_SLACK if sizes_itself else 0
        allowed.append((lx, ly, lw + slack, lh + slack))
    stray = []
    for y in range(OUTLINE, min(ch, frame_height - OUTLINE)):
        for x in range(OUTLINE, min(cw, frame_width - OUTLINE)):
            if any(ax <= x < ax + aw and ay <= y < ay + ah for ax, ay, aw, ah in allowed):
                continue
            if differs(client_at(x, y), background):
                stray.append((x, y))
    if stray:
        faults.append(f"{len(stray)} pixels drawn outside every control, first at {stray[0]}")

    tl, tt, tw, th = rect_pixels(LABELS["lblCompanyProduct"][0], dpi)
    title = sum(client_at(x, y) == TITLE_COLOUR
                for y in range(tt, tt + th) for x in range(tl, tl + tw))
    if title < 20:
        faults.append(f"lblCompanyProduct: {title} pixels in RGB{TITLE_COLOUR}")

    shot.save(artefact, cx, cy, cw, ch)
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--emulator")
    parser.add_argument("--artefact", required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("no X display: run under xvfb-run", file=sys.stderr)
        return SKIPPED
    if args.emulator and subprocess.run([args.emulator, "--check"]).returncode == SKIPPED:
        return SKIPPED  # a build this machine cannot run; the emulator said why

    with tempfile.TemporaryDirectory() as workdir:
        if args.probe:
            splash = WindowsSplash(args.launcher, args.probe, args.emulator, workdir)
        else:
            splash = LinuxSplash(args.launcher, workdir)
        try:
            cx, cy, cw, ch = splash.client

            def drawn():  # more than the background and an outline: the controls are up
                shot = Screenshot()
                return len({shot.at(cx + x, cy + y)
                            for y in range(0, ch, 7) for x in range(0, cw, 7)}) > 8

            deadline = time.monotonic() + DRAWING_TIME
            while not drawn() and time.monotonic() < deadline:
                time.sleep(0.02)
            splash.hold()
            faults = check(splash, Screenshot(), args.artefact)
        finally:
            splash.close()
    for fault in faults:
        print("FAULT:", fault, file=sys.stderr)
    print(f"screenshot saved as {args.artefact}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
