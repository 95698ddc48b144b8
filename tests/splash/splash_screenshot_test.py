#!/usr/bin/env python3
"""Shows the real splash on the X display, freezes it before its timer can tick, takes a
screenshot and checks it by pixel probes: the picture's corners, text inside every label
that has some, from the corner of those of a fixed size, and nowhere else, none in
lblPlatform, and the title's colour. Fonts differ between machines, so nothing is
compared byte for byte. Saves the client area's part of
the screenshot as the artefact $TOLVARIN_SPLASH_ARTEFACT. (The window's size, place and
frame are the end-to-end tests' concern.) Arguments as for the end-to-end tests."""

import collections
import json
import os
import re
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

TWIPS_PER_INCH = 1440
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
# Text drawn from a label's corner starts within this many pixels of it, whatever the font.
CORNER = 5
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


def show_frozen_splash(test):
    """Starts the launcher and stops it before its timer can tick; its client area's place
    (x, y, width, height), the dpi, and a function that ends it."""
    options = harness.OPTIONS
    if options.platform == "win32":
        # The probe starts the launcher itself and suspends its user-interface thread.
        probe = subprocess.Popen([options.wine, options.probe, "freeze", harness.windows_path(options.launcher)],
                                 cwd=test.tmp, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        line = probe.stdout.readline()
        test.assertTrue(line.startswith("{"), "the probe saw no splash window")
        facts = json.loads(line)
        client = tuple(facts["client_origin"] + facts["client_size"])
        drawn(client)
        return client, facts["dpi"], lambda: probe.communicate("done\n", timeout=PATIENCE)
    process = test.target.start(test.install(), test.tmp, [test.path_dir])
    client = harness.x_geometry(test.target.splash(process))  # no frame of its own
    dpi = int(re.search(r"resolution:\s+(\d+)x(\d+)",
                        subprocess.run(["xdpyinfo"], capture_output=True, text=True).stdout).group(2))
    drawn(client)
    process.send_signal(signal.SIGSTOP)
    return client, dpi, lambda: process.kill() or process.wait()


def drawn(client):
    """Waits until more than the background and an outline show: the controls are up."""
    cx, cy, cw, ch = client

    def colours():
        shot = Screenshot()
        return len({shot.at(cx + x, cy + y) for y in range(0, ch, 7) for x in range(0, cw, 7)}) > 8
    harness.wait_until(colours, DRAWING_TIME, 0.02)


def is_light_blue(colour):
    red, green, blue = colour
    return blue >= 200 and blue > red + 15 and green > red


def differs(colour, background):
    return sum(abs(a - b) for a, b in zip(colour, background)) > 60


def check(client, dpi, shot, artefact):
    faults = []
    cx, cy, cw, ch = client

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
        inked = [(x - lx, y - ly) for y in range(ly, ly + lh) for x in range(lx, min(lx + lw, cw))
                 if differs(client_at(x, y), background)]
        ink = len(inked)
        if has_text and ink < 10:
            faults.append(f"{name}: {ink} text pixels in its rectangle")
        if not has_text and ink:
            faults.append(f"{name}: {ink} pixels drawn where nothing should show")
        start = (min(x for x, _ in inked), min(y for _, y in inked)) if inked else (0, 0)
        if not sizes_itself and max(start) > CORNER:
            faults.append(f"{name}: its text starts {start} from its top left corner")
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


class SplashScreenshot(harness.EndToEndTest):
    def test_controls_drawn_where_designed(self):
        client, dpi, end = show_frozen_splash(self)
        try:
            faults = check(client, dpi, Screenshot(), os.environ["TOLVARIN_SPLASH_ARTEFACT"])
        finally:
            end()
        self.assertEqual(faults, [])


if __name__ == "__main__":
    harness.main()
