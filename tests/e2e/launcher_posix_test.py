"""The Linux launcher end to end: a real window on the test display, a real child process."""

import argparse
import os
import subprocess
import sys
import time
import unittest

import harness

LAUNCHER = None

STUB_JAVA = """#!/bin/sh
# Records how the launcher started it: arguments NUL-separated, then the working directory.
{ printf '%s\\0' "$@"; printf 'CWD %s\\n' "$(pwd)"; } >> "$TOLVARIN_STUB_RECORD"
"""


class LauncherTest(harness.TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.install_dir = self.install(LAUNCHER)
        self.stub_dir = self.make_dir("stub")
        self.record = os.path.join(self.tmp, "java-runs")
        stub = os.path.join(self.stub_dir, "java")
        with open(stub, "w") as f:
            f.write(STUB_JAVA)
        os.chmod(stub, 0o755)
        self.elsewhere = self.make_dir("elsewhere")
        self.registry = os.path.join(self.tmp, "registry.reg")
        harness.write_reg_file(self.registry, harness.RUNTIME_WITHOUT_HOME)

    def start(self, path):
        env = dict(os.environ, PATH=path, TOLVARIN_STUB_RECORD=self.record,
                   TOLVARIN_REGISTRY_FILE=self.registry)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=0")  # X and FLTK keep their caches
        self.started = time.monotonic()
        process = subprocess.Popen([os.path.join(self.install_dir, os.path.basename(LAUNCHER))],
                                   cwd=self.elsewhere, env=env, stderr=subprocess.PIPE, text=True)
        self.addCleanup(process.stderr.close)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def splash_of(self, process):
        windows = harness.wait_until(lambda: harness.x_windows_of(process.pid), 10)
        if not windows and process.poll() is not None:
            self.fail("launcher ended early (%s): %s" % (process.returncode, process.stderr.read()))
        self.assertEqual(len(windows), 1, "one splash window")
        return windows[0]

    def runs(self, expected=0):
        """The stub's recorded runs as (arguments, working directory) pairs. The stub
        outlives the launcher, so this waits up to 15 s for `expected` runs."""
        harness.wait_until(lambda: len(self.read_runs()) >= expected, 15 if expected else 0)
        return self.read_runs()

    def read_runs(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as f:
            lines = f.read().split("\n")[:-1]
        runs = []
        for line in lines:
            arguments, cwd = line.split("CWD ", 1)
            runs.append((arguments.split("\0")[:-1], cwd))
        return runs

    def expected_argv(self):
        class_path = ":".join(os.path.join(self.install_dir, *entry) for entry in harness.CLASS_PATH)
        return ["-classpath", class_path, harness.MAIN_CLASS]

    def test_splash_then_one_hidden_start_in_install_dir(self):
        process = self.start(self.stub_dir + os.pathsep + os.environ["PATH"])
        window = self.splash_of(process)
        x, y, width, height = harness.x_geometry(window)
        screen_width, screen_height = harness.x_screen_size()
        self.assertEqual((width, height), harness.SPLASH_PIXELS)
        self.assertLessEqual(abs(x - (screen_width - width) // 2), 1, "centred horizontally")
        self.assertLessEqual(abs(y - (screen_height - height) // 2), 1, "centred vertically")
        # Motif hints: flags 0x2 set, decorations 0 (no title bar, menu or buttons).
        hints = harness.x_property(window, "_MOTIF_WM_HINTS").split("=")[1].split(",")
        self.assertTrue(int(hints[0], 16) & 0x2)
        self.assertEqual(int(hints[2], 16), 0)
        normal = harness.x_property(window, "WM_NORMAL_HINTS")
        self.assertIn("minimum size: 493 by 335", normal)
        self.assertIn("maximum size: 493 by 335", normal)

        self.assertTrue(harness.wait_until(lambda: not harness.x_windows_of(process.pid), 15))
        self.assertEqual(process.wait(15), 0)
        self.assertEqual(self.runs(1), [(self.expected_argv(), self.install_dir)])
        self.assertEqual(process.stderr.read(), "", "no message box")

    def test_input_neither_shortens_nor_lengthens_the_splash(self):
        process = self.start(self.stub_dir + os.pathsep + os.environ["PATH"])
        window = self.splash_of(process)
        subprocess.run(["xdotool", "mousemove", "--window", str(window), "100", "100", "click", "1",
                        "windowfocus", "--sync", str(window), "key", "Escape", "Return", "space", "a",
                        "alt+F4"], check=True)
        self.assertTrue(harness.x_windows_of(process.pid), "still shown after input")
        self.assertTrue(harness.wait_until(lambda: os.path.exists(self.record), 15))
        # The timer cannot fire early; input must not have fired it.
        self.assertGreaterEqual(time.monotonic() - self.started, 2.0)
        self.assertEqual(process.wait(15), 0)
        self.assertEqual(len(self.runs(1)), 1, "exactly one launch")

    def test_no_java_on_the_search_path_is_told_in_one_box(self):
        empty = self.make_dir("empty-path")
        process = self.start(empty)
        self.splash_of(process)
        boxes = harness.wait_until(lambda: harness.x_window_named("Tolvarin"), 15)
        self.assertEqual(len(boxes), 1)
        subprocess.run(["xdotool", "windowfocus", "--sync", str(boxes[0]), "key", "Return"], check=True)
        self.assertEqual(process.wait(15), 1)
        lines = process.stderr.read().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].startswith("Tolvarin: Error 2: Cannot start java -classpath "), lines[0])
        self.assertIn("No such file or directory", lines[0])
        self.assertEqual(self.runs(), [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    options, rest = parser.parse_known_args()
    LAUNCHER = options.launcher
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
