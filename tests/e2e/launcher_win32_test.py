"""Varnolet.exe end to end under Wine: the real window, message box and CreateProcess."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import harness

OPTIONS = None

WS_BORDER = 0x00800000
WS_DLGFRAME = 0x00400000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000


def windows_path(unix_path):
    """The path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


class VarnoletTest(harness.TempDirTestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory(prefix="tolvarin-e2e-") as tmp:
            registry = os.path.join(tmp, "registry.reg")
            harness.write_reg_file(registry, harness.RUNTIME_WITHOUT_HOME)
            subprocess.run([OPTIONS.wine, "reg", "import", windows_path(registry)], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def setUp(self):
        super().setUp()
        self.install_dir = self.install(OPTIONS.launcher)
        self.stub_dir = self.make_dir("stub")
        shutil.copy2(OPTIONS.stub_java, os.path.join(self.stub_dir, "java.exe"))
        self.record = os.path.join(self.tmp, "java-runs.txt")
        self.elsewhere = self.make_dir("elsewhere")

    def wine(self, *args, **kwargs):
        return subprocess.Popen([OPTIONS.wine, *args], stdout=subprocess.PIPE, text=True,
                                encoding="utf-8", **kwargs)

    def probe(self, command, timeout_ms=10000):
        """Runs win_probe; returns its JSON answer and exit status."""
        process = self.wine(OPTIONS.probe, command, str(timeout_ms))
        out, _ = process.communicate(timeout=timeout_ms / 1000 + 30)
        lines = out.splitlines()
        return (json.loads(lines[-1]) if lines else None), process.returncode

    def start(self, search_path):
        env = dict(os.environ, TOLVARIN_STUB_RECORD=windows_path(self.record),
                   WINEPATH=";".join(windows_path(p) for p in search_path))
        self.started = time.monotonic()
        process = self.wine(os.path.join(self.install_dir, "Varnolet.exe"), cwd=self.elsewhere, env=env)
        self.addCleanup(process.stdout.close)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def runs(self, expected=0):
        """The stub's recorded runs as (command line, working directory) pairs. The stub
        outlives the launcher, so this waits up to 15 s for `expected` runs to be recorded."""
        harness.wait_until(lambda: len(self.read_runs()) >= expected, 15 if expected else 0)
        return self.read_runs()

    def read_runs(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, "rb") as f:
            lines = f.read().decode("utf-8").split("\n")[:-1]
        return [(lines[i][len("CMD "):], lines[i + 1][len("CWD "):]) for i in range(0, len(lines), 2)]

    def expected_command_line(self):
        base = windows_path(self.install_dir)
        entries = ['"%s"' % "\\".join([base] + entry) for entry in harness.CLASS_PATH]
        return "java -classpath " + ";".join(entries) + " " + harness.MAIN_CLASS

    def test_splash_then_one_hidden_start_with_exact_command_line(self):
        process = self.start([self.stub_dir])
        splash, status = self.probe("splash")
        self.assertEqual(status, 0, "splash shown")
        self.assertEqual(splash["client_size"], list(harness.SPLASH_PIXELS))
        left, top, right, bottom = splash["frame"]
        work_left, work_top, work_right, work_bottom = splash["work"]
        self.assertLessEqual(abs(left - work_left - (work_right - work_left - (right - left)) // 2), 1)
        self.assertLessEqual(abs(top - work_top - (work_bottom - work_top - (bottom - top)) // 2), 1)
        style = splash["style"]
        self.assertEqual(style & (WS_BORDER | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0,
                         "no title bar, system menu, sizing border or window buttons")
        self.assertTrue(style & WS_DLGFRAME, "fixed dialog border")
        self.assertEqual(splash["title"], "")

        self.assertEqual(self.probe("gone", 15000)[1], 0)
        self.assertEqual(process.wait(30), 0)
        self.assertEqual(self.runs(1), [(self.expected_command_line(), windows_path(self.install_dir))])

    def test_input_neither_shortens_nor_lengthens_the_splash(self):
        process = self.start([self.stub_dir])
        self.assertEqual(self.probe("poke")[1], 0)
        self.assertEqual(self.probe("splash", 0)[1], 0, "still shown after input")
        self.assertEqual(process.wait(30), 0)
        self.assertGreaterEqual(time.monotonic() - self.started, 2.0)
        self.assertEqual(len(self.runs(1)), 1, "exactly one launch")

    def test_no_java_on_the_search_path_is_told_in_one_box(self):
        process = self.start([])
        box, status = self.probe("answer", 15000)
        self.assertEqual(status, 0, "box answered with Return")
        self.assertEqual(box["title"], "Tolvarin")
        self.assertTrue(box["text"].startswith("Error 2: Cannot start java -classpath "), box["text"])
        self.assertFalse(box["icon"])
        self.assertTrue(box["ok"])
        self.assertEqual(process.wait(30), 1)
        self.assertEqual(self.probe("answer", 500)[0], {"box": None}, "no second box")
        self.assertEqual(self.runs(), [])

    def test_closing_the_splash_before_the_tick_starts_nothing(self):
        process = self.start([self.stub_dir])
        self.assertEqual(self.probe("close")[1], 0)
        self.assertEqual(process.wait(30), 0)
        self.assertLess(time.monotonic() - self.started, 30)
        time.sleep(2.5)  # past the tick that would have come
        self.assertEqual(self.runs(), [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--stub-java", required=True)
    parser.add_argument("--wine", required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
