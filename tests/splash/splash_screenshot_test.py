#!/usr/bin/env python3
"""The real splash's client area on the test display (96 dpi) against the committed picture of
its target, pixel for pixel: every control's place, font and colour, and the picture. The
screenshot stays as $TOLVARIN_SPLASH_ARTEFACT. Arguments as for the end-to-end tests."""

import json
import os
import signal
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402

DOCS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs")
GOLDEN = {"posix": "splash-linux.png", "win32": "splash-windows.png"}
# How long a shown splash may take to be drawn whole: well within its two seconds.
DRAWING_TIME = 1.5


def differing_pixels(client, shot, golden):
    """Takes the client area into `shot`; the number of pixels that differ from `golden`."""
    x, y, width, height = client
    subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "+repage", shot],
                   check=True)
    result = subprocess.run(["compare", "-metric", "AE", golden, shot, shot + ".diff.png"],
                            capture_output=True, text=True)
    # 2: not comparable at all (another size)
    return int(float(result.stderr.split()[0])) if result.returncode < 2 else width * height


class SplashScreenshot(harness.EndToEndTest):
    def test_client_area_is_the_committed_picture(self):
        options = harness.OPTIONS
        golden = os.path.abspath(os.path.join(DOCS, GOLDEN[options.platform]))
        shot = os.environ["TOLVARIN_SPLASH_ARTEFACT"]
        if options.platform == "win32":
            # The probe starts the launcher and suspends its user-interface thread once drawn.
            probe = subprocess.Popen([options.wine, options.probe, "freeze", harness.windows_path(options.launcher)],
                                     cwd=self.tmp, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            self.addCleanup(lambda: probe.communicate("done\n", timeout=20))
            facts = json.loads(probe.stdout.readline() or "null")
            self.assertTrue(facts, "the probe saw no splash window")
            client, freeze = tuple(facts["client_origin"] + facts["client_size"]), None
        else:
            process = self.target.start(self.install(), self.tmp, [self.path_dir])
            client = harness.x_geometry(self.target.splash(process))  # no frame of its own
            freeze = lambda: process.send_signal(signal.SIGSTOP)  # noqa: E731
        # Once it matches it is drawn; one that never does is stopped before its tick and shown.
        if not harness.wait_until(lambda: differing_pixels(client, shot, golden) == 0, DRAWING_TIME, 0.02):
            freeze and freeze()
            self.assertEqual(
                differing_pixels(client, shot, golden), 0,
                f"pixels of {shot} differ from {golden} (shown in red in {shot}.diff.png). Where "
                "the fonts changed (a new font package), look at the screenshot; if it is right, "
                "commit it as the new picture.")


if __name__ == "__main__":
    harness.main()
