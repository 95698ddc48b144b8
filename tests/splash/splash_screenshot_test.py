#!/usr/bin/env python3
"""Shows the real splash on the X display, freezes it before its timer can tick, takes a
screenshot and checks it by pixel probes: the client area's size and centred position, the
picture's corners, text inside every label that has some and nowhere else, none in
lblPlatform, and the title's colour. Fonts differ between machines, so nothing is compared
byte for byte. Saves the client area's part of the screenshot as an artefact.

Linux:   splash_screenshot_test.py --launcher varnolet --artefact splash-linux.png
Windows: splash_screenshot_test.py --launcher Varnolet.exe --probe splash_probe.exe
             --emulator wine-emulator.sh --artefact splash-windows.png
Exits 77 (skipped) without a display."""

import argparse
import collections
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

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


def run(*command, **kwargs):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True, **kwargs).stdout


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
    frozen with SIGSTOP once drawn, so its timer cannot tick while the test looks."""

    def __init__(self, launcher, workdir):
        stub = os.path.join(workdir, "java")
        with open(stub, "w") as f:
            f.write("#!/bin/sh\nexit 0\n")
        os.chmod(stub, 0o755)
        env = dict(os.environ, PATH=workdir + os.pathsep + os.environ.get("PATH", ""))
        self.process = subprocess.Popen([os.path.abspath(launcher)], cwd=workdir, env=env)
        window = run("xdotool", "search", "--sync", "--onlyvisible", "--pid",
                     str(self.process.pid), timeout=PATIENCE).split()[0]
        info = run("xwininfo", "-id", window)
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
        self.client = (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                       field("Width"), field("Height"))
        self.window = self.client  # no frame of its own: border(0)
        self.dpi = int(re.search(r"resolution:\s+(\d+)x(\d+)", run("xdpyinfo")).group(2))
        self.work = (0, 0) + screen_size()
        self.window_id = window

    def hold(self):
        """Tries the input the splash must ignore, then freezes the launcher. Returns whether
        the splash is still shown."""
        for command in (["mousemove", "--window", self.window_id, "40", "40"],
                        ["click", "--window", self.window_id, "1"],
                        ["key", "--window", self.window_id, "Escape"]):
            subprocess.run(["xdotool", *command], check=False, stderr=subprocess.DEVNULL)
        time.sleep(0.1)
        self.process.send_signal(signal.SIGSTOP)
        still_there = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                      str(self.process.pid)], stdout=subprocess.PIPE)
        return still_there.returncode == 0

    def close(self):
        self.process.kill()
        self.process.wait()


class WindowsSplash:
    """Varnolet.exe under Wine, started and frozen by the probe program, which reports the
    window's place through the real Win32 calls."""

    def __init__(self, launcher, probe, emulator, workdir):
        command = [os.path.abspath(emulator), os.path.abspath(probe), to_windows_path(launcher)]
        self.process = subprocess.Popen(command, cwd=workdir, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
        facts = read_probe(self.process.stdout)
        self.dpi = facts["dpi"][0]
        self.work = tuple(facts["work"])
        left, top, right, bottom = facts["window"]
        self.window = (left, top, right - left, bottom - top)
        self.client = tuple(facts["client"])
        style = facts["style"][0]
        self.style_faults = [name for bits, name in ((0x00C00000, "a caption"),
                                                     (0x00080000, "a system menu"),
                                                     (0x00040000, "a sizing border"),
                                                     (0x00020000, "a minimise button"),
                                                     (0x00010000, "a maximise button"))
                             if style & bits == bits]

    def hold(self):
        """The probe has frozen the launcher already."""
        return True

    def close(self):
        self.process.communicate("done\n", timeout=PATIENCE)


def read_probe(stream):
    """The probe's "key values..." lines up to "ready", values as integers (hexadecimal for
    the style)."""
    facts = {}
    for line in stream:
        key, *values = line.split()
        if key == "ready":
            return facts
        facts[key] = [int(v, 16 if key == "style" else 10) for v in values]
    raise SystemExit("the probe saw no splash window")


def screen_size():
    match = re.search(r"dimensions:\s+(\d+)x(\d+)", run("xdpyinfo"))
    return int(match.group(1)), int(match.group(2))


def to_windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


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
    wx, wy, ww, wh = splash.window
    left, top, right, bottom = splash.work
    for name, at, expected in (("left", wx, left + (right - left - ww) // 2),
                               ("top", wy, top + (bottom - top - wh) // 2)):
        if abs(at - expected) > 1:
            faults.append(f"window {name} edge at {at}, centred would be {expected}")
    faults += [f"the window has {fault}" for fault in getattr(splash, "style_faults", [])]

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
            faults = [] if splash.hold() else ["input closed the splash"]
            faults += check(splash, Screenshot(), args.artefact)
        finally:
            splash.close()
    for fault in faults:
        print("FAULT:", fault, file=sys.stderr)
    print(f"screenshot saved as {args.artefact}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
