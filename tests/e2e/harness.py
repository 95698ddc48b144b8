"""Shared pieces of the end-to-end tests: the launcher's two targets behind one interface,
temporary installs, the stub java's record, waiting and X window queries."""

import contextlib
import ctypes
import ctypes.util
import json
import os
import pathlib
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

SERVER_JAR = "Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar"
SERVER_LIBS = ("comm.jar", SERVER_JAR, "jdc.jar", "jxl.jar", "swing-layout-1.0.jar")
CLASS_PATH = ([["DOZOZIR", "lib", jar] for jar in SERVER_LIBS]
              + [["VUVUDIV", "lib", "win32com.dll.jar"], ["VUVUDIV"]])
MAIN_CLASS = "Quindrel.Frame11"
# A name with a space and characters outside any ANSI code page.
INSTALL_NAME = os.environ.get("TOLVARIN_E2E_INSTALL_NAME", "SMS Zentrale \u00fc\u65e5")
SPLASH_PIXELS = (493, 335)  # at 96 dpi, which the test display runs at
RUNTIMES_KEY = r"SOFTWARE\JavaSoft\Java Runtime Environment"
MISSING = object()  # a runtime key without a "JavaHome" value
OPTIONS = None  # the command line: --platform, --launcher, and for win32 --probe --stub-java --helper --wine --reg-view
X11 = X_DISPLAY = None  # Xlib and the connection main() holds for the whole run (posix)

POSIX_STUB = """#!/bin/sh
# Records how it was started: program and arguments NUL-separated, then the working directory;
# one write, so that two stubs at once do not interleave (nothing but the stub is on PATH).
{ printf '%s\\0' "$0" "$@"; printf 'CWD %s\\n' "$(pwd)"; } > "$TOLVARIN_STUB_RECORD.$$"
/bin/cat "$TOLVARIN_STUB_RECORD.$$" >> "$TOLVARIN_STUB_RECORD" && /bin/rm "$TOLVARIN_STUB_RECORD.$$"
"""


class XClientMessage(ctypes.Structure):
    """Xlib's XClientMessageEvent, padded to the size of an XEvent."""
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


def reg_export(keys):
    """A registry export as regedit writes it (UTF-16LE with a byte-order mark): `keys` maps
    each key's full name to its values, text or (REG_BINARY) bytes."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        lines.append("[%s]" % key)
        for name, data in values.items():
            if isinstance(data, bytes):
                lines.append('"%s"=hex:%s' % (name, ",".join("%02x" % b for b in data)))
            else:
                lines.append('"%s"="%s"' % (name, data.replace("\\", "\\\\").replace('"', '\\"')))
        lines.append("")
    return b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le")


def export_registry(runtimes):
    """The runtimes key with `runtimes`, (subkey, JavaHome text, bytes or MISSING) in order, as
    reg_export gives it; None: no runtimes key."""
    if runtimes is None:
        return reg_export({})
    keys = {"HKEY_LOCAL_MACHINE\\" + RUNTIMES_KEY: {}}
    for name, home in runtimes:
        keys["HKEY_LOCAL_MACHINE\\%s\\%s" % (RUNTIMES_KEY, name)] = {} if home is MISSING else {"JavaHome": home}
    return reg_export(keys)


def wait_until(predicate, timeout, interval=0.05):
    """Polls `predicate` until it returns something true or `timeout` seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)


def windows_path(unix_path):
    """The path as Wine's drive Z: shows it."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def x_windows_of(pid=None, name=None):
    """Mapped X windows of the process `pid` (_NET_WM_PID) or with the title `name`."""
    how = ["--pid", str(pid)] if name is None else ["--name", "^%s$" % re.escape(name)]
    result = subprocess.run(["xdotool", "search", "--onlyvisible"] + how, capture_output=True, text=True)
    return [int(w) for w in result.stdout.split()]


def x_geometry(window=None):
    """(x, y, width, height) of a window, in root coordinates; without one, of the screen."""
    which = ["-id", str(window)] if window else ["-root"]
    info = subprocess.run(["xwininfo"] + which, capture_output=True, text=True).stdout
    fields = dict(re.findall(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s+(-?\d+)",
                             info, re.M))
    return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
            int(fields["Width"]), int(fields["Height"]))


def assert_centred(test, frame, area):
    """`frame` and `area` as (left, top, right, bottom), to within a pixel."""
    for low, high, area_low, area_high in (frame[::2] + area[::2], frame[1::2] + area[1::2]):
        test.assertLessEqual(abs(low - area_low - (area_high - area_low - (high - low)) // 2), 1, (frame, area))


def unescape(line):
    """A prompt line from the Linux launcher's stderr, its \\r \\n \\\\ escapes undone."""
    return re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n"}.get(m.group(1), m.group(1)), line)


class PosixTarget:
    """The Linux launcher: its registry export file and support-file source directory come
    from the environment; message boxes are answered by a key press on the X display."""
    name, separator, not_found = "posix", "/", "No such file or directory"
    close_ways = ("window manager",)

    def __init__(self, test):
        self.test = test
        self.sources = test.make_dir("GsmModemJar")
        self.registry = os.path.join(test.tmp, "registry.reg")

    def home_value(self, directory):
        return directory

    def place_stub(self, directory):
        path = pathlib.Path(directory, "java")
        path.write_text(POSIX_STUB)
        path.chmod(0o755)

    def import_registry(self, data, other_view=False):
        pathlib.Path(self.registry).write_bytes(data)

    def start(self, install_dir, cwd, path_dirs):
        # Only the given directories on the search path: this machine has a java of its own.
        env = dict(os.environ, PATH=os.pathsep.join(path_dirs), TOLVARIN_STUB_RECORD=self.test.record,
                   TOLVARIN_REGISTRY_FILE=self.registry, TOLVARIN_SUPPORT_DIR=self.sources)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=0")  # X and FLTK keep their caches
        process = subprocess.Popen([os.path.join(install_dir, os.path.basename(OPTIONS.launcher))], cwd=cwd,
                                   env=env, stderr=subprocess.PIPE, text=True, encoding="utf-8")
        self.test.addCleanup(lambda: process.poll() is None and process.kill())
        self.test.addCleanup(process.stderr.close)
        return process

    def finish(self, process):
        """Answers every box with Return until the launcher ends; its prompts and status."""
        while process.poll() is None:
            boxes = x_windows_of(name="Tolvarin")
            if boxes:
                subprocess.run(["xdotool", "windowfocus", "--sync", str(boxes[0]), "key", "Return"])
                wait_until(lambda: boxes[0] not in x_windows_of(name="Tolvarin"), 5)
            else:
                wait_until(lambda: process.poll() is not None or x_windows_of(name="Tolvarin"), 0.2)
        self.stderr = process.stderr.read()
        return ([unescape(line[len("Tolvarin: "):]) for line in self.stderr.splitlines()
                 if line.startswith("Tolvarin: ")], process.returncode)

    def splash(self, process):
        windows = wait_until(lambda: x_windows_of(process.pid), 10)
        self.test.assertEqual(len(windows), 1, "one splash window")
        return windows[0]

    def check_splash(self, process):
        window = self.splash(process)
        x, y, width, height = x_geometry(window)
        self.test.assertEqual((width, height), SPLASH_PIXELS)
        assert_centred(self.test, (x, y, x + width, y + height), (0, 0) + x_geometry()[2:])
        # Motif hints: flags 0x2 set, decorations 0 (no title bar, menu or buttons); not resizable.
        hints = subprocess.run(["xprop", "-id", str(window), "_MOTIF_WM_HINTS", "WM_NORMAL_HINTS"],
                               capture_output=True, text=True).stdout
        flags, _, decorations = re.search(r"= (\w+), (\w+), (\w+)", hints).groups()
        self.test.assertEqual((int(flags, 16) & 0x2, int(decorations, 16)), (0x2, 0), hints)
        self.test.assertIn("minimum size: 493 by 335\n\t\tprogram specified maximum size: 493 by 335", hints)

    def start_and_close(self, start, how):
        """Starts the launcher with `start` and asks the splash to close as a window manager does
        (WM_DELETE_WINDOW); the process, and whether it ended after the close."""
        process = start()
        window = self.splash(process)
        event = XClientMessage(type=33, display=X_DISPLAY, window=window, format=32,
                               message_type=X11.XInternAtom(X_DISPLAY, b"WM_PROTOCOLS", False))
        event.data[0] = X11.XInternAtom(X_DISPLAY, b"WM_DELETE_WINDOW", False)
        X11.XSendEvent(X_DISPLAY, ctypes.c_ulong(window), False, 0, ctypes.byref(event))
        X11.XFlush(X_DISPLAY)
        return process, wait_until(lambda: process.poll() is not None, 5)

    def start_and_poke(self, start, started):
        """Starts the launcher with `start`, clicks and types on the splash while it is shown
        (the launcher stopped meanwhile, so the input is queued ahead of its tick); the process,
        and the seconds from `started` until the splash went, or None when it was gone before
        the input."""
        process = start()
        window = self.splash(process)
        process.send_signal(signal.SIGSTOP)
        try:
            if not x_windows_of(process.pid):
                return process, None
            subprocess.run(["xdotool", "mousemove", "--window", str(window), "100", "100", "click", "1",
                            "windowfocus", "--sync", str(window), "key", "Escape", "Return", "space", "a",
                            "alt+F4"], check=True)
        finally:
            process.send_signal(signal.SIGCONT)
        wait_until(lambda: not x_windows_of(process.pid), 15)
        return process, time.monotonic() - started

    def runs(self, lines):
        records = [line.split("CWD ", 1) for line in lines]
        return [((args.split("\0")[0], args.split("\0")[1:-1]), cwd) for args, cwd in records]

    def expected_run(self, home, install_dir, path_dir):
        class_path = ":".join(os.path.join(install_dir, *entry) for entry in CLASS_PATH)
        program = home + "/bin/java" if home else os.path.join(path_dir, "java")
        return ((program, ["-classpath", class_path, MAIN_CLASS]), install_dir)


class WineTarget:
    """Varnolet.exe under Wine: the prefix's real registry and C:\\quarvel\\GsmModemJar; the
    windows and boxes seen and driven by win_probe through the real Win32 calls."""
    name, separator, not_found = "win32", "\\", ""
    close_ways = ("post", "send")  # a sent WM_CLOSE is handled inside GetMessageW

    def __init__(self, test):
        self.test = test
        prefix = os.path.join(os.path.dirname(OPTIONS.wine), "wineprefix")
        self.sources = os.path.join(prefix, "drive_c", "quarvel", "GsmModemJar")
        shutil.rmtree(os.path.dirname(self.sources), ignore_errors=True)
        os.makedirs(self.sources)
        test.addCleanup(shutil.rmtree, os.path.dirname(self.sources), ignore_errors=True)

    def home_value(self, directory):
        return windows_path(directory)

    def place_stub(self, directory):
        shutil.copy2(OPTIONS.stub_java, os.path.join(directory, "java.exe"))

    def wine(self, *args, encoding="utf-8", errors="strict", **kwargs):
        """Runs a program under Wine to its end. Output through files: Wine's services, should
        the program start them, would inherit a pipe and hold it open long after. Wine's loader
        hands a program it could not start to start.exe, which says "ShellExecuteEx failed" (seen
        for reg.exe beside other suites' Wine): the program never ran, so it is started again,
        on that failure alone."""
        for attempt in range(3):
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                status = subprocess.run([OPTIONS.wine, *args], stdout=out, stderr=err, **kwargs).returncode
                out.seek(0)
                err.seek(0)
                result = subprocess.CompletedProcess(args, status, out.read().decode(encoding, errors),
                                                     err.read().decode("utf-8", "replace"))
            if status == 0 or "ShellExecuteEx failed" not in result.stderr + result.stdout:
                return result
            time.sleep(1 + attempt)
        return result

    def prepare_runtime(self, log, helper=None, **kwargs):
        """Setup's preparation of the runtime, logged to `log`: the lines said, the status."""
        result = self.wine(helper or OPTIONS.helper, "prepare-runtime", windows_path(log), encoding="utf-16",
                           **kwargs)
        return result.stdout.splitlines(), result.returncode

    def probe(self, command, timeout_ms=10000, **kwargs):
        """Runs win_probe; its JSON answer (or None) and exit status (0 or 1, else it failed)."""
        # A child it runs may share its output, the helper in UTF-16: the answer is the last line.
        result = self.wine(OPTIONS.probe, command, str(timeout_ms), errors="replace", **kwargs)
        self.test.assertIn(result.returncode, (0, 1), result.stdout + result.stderr)
        lines = [line.strip("\x00\r") for line in result.stdout.split("\n") if line.strip("\x00\r")]
        return (json.loads(lines[-1]) if lines else None), result.returncode

    @contextlib.contextmanager
    def held(self, path):
        """win_probe holds the file open as a running program holds its jars, until the block ends."""
        holder = subprocess.Popen([OPTIONS.wine, OPTIONS.probe, "hold", path], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE)
        self.test.addCleanup(lambda: holder.poll() is None and holder.kill())
        with holder.stdout:
            self.test.assertEqual(json.loads(holder.stdout.readline()), {"held": True})
            yield
            holder.stdin.close()
            self.test.assertEqual(holder.wait(), 0)

    def import_registry(self, data, other_view=False):
        """Imports into the registry view the launcher reads, or with `other_view` into the
        other one; the runtimes key is cleared from both views first and afterwards."""
        views = [OPTIONS.reg_view, {"32": "64", "64": "32"}[OPTIONS.reg_view]]

        def clear():
            for view in views:
                self.wine("reg", "delete", "HKLM\\" + RUNTIMES_KEY, "/f", "/reg:" + view)
        clear()
        path = os.path.join(self.test.tmp, "registry.reg")
        pathlib.Path(path).write_bytes(data)
        result = self.wine("reg", "import", windows_path(path), "/reg:" + views[other_view])
        self.test.assertEqual(result.returncode, 0, result.stderr)
        self.test.addCleanup(clear)

    def start(self, install_dir, cwd, path_dirs):
        env = dict(os.environ, TOLVARIN_STUB_RECORD=windows_path(self.test.record),
                   WINEPATH=";".join(windows_path(p) for p in path_dirs))
        # Output through a file, as in wine(); it holds Wine's report should the launcher crash.
        output = tempfile.TemporaryFile()
        self.test.addCleanup(output.close)
        process = subprocess.Popen([OPTIONS.wine, os.path.join(install_dir, "Varnolet.exe")], cwd=cwd,
                                   env=env, stdout=output, stderr=subprocess.STDOUT)
        process.output = output
        self.test.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def finish(self, process):
        prompts = []
        while process.poll() is None:
            box, status = self.probe("answer", 1000)
            if status == 0:
                self.test.assertEqual((box["title"], box["icon"], box["ok"]), ("Tolvarin", False, True),
                                      box["text"])
                prompts.append(box["text"])
        status = process.wait()
        process.output.seek(0)
        self.stderr = process.output.read().decode("utf-8", "replace")
        return prompts, status

    def check_splash(self, process):
        splash, status = self.probe("splash")
        self.test.assertEqual(status, 0, "splash shown")
        self.test.assertEqual(splash["client_size"], list(SPLASH_PIXELS))
        assert_centred(self.test, tuple(splash["frame"]), tuple(splash["work"]))
        # No caption, system menu, sizing border or window buttons; a fixed dialog border.
        self.test.assertEqual(splash["style"] & 0x00CF0000, 0x00400000, hex(splash["style"]))
        self.test.assertEqual(splash["title"], "")

    def probe_first(self, command, start):
        """win_probe `command`, then, once it watches, the launcher (a slow start may show the
        splash too briefly for a later probe): the process, the probe's answer and status."""
        output = tempfile.TemporaryFile()
        self.test.addCleanup(output.close)
        probe = subprocess.Popen([OPTIONS.wine, OPTIONS.probe, command, "60000"], stdout=output,
                                 stderr=subprocess.STDOUT)
        self.test.addCleanup(lambda: probe.poll() is None and probe.kill())
        watching = wait_until(lambda: output.seek(0) == 0 and output.readline().startswith(b"{\"watching\""), 60)
        self.test.assertTrue(watching, "the probe is watching for the splash")
        process = start()
        status = probe.wait(120)
        output.seek(0)
        lines = output.read().decode("utf-8", "replace").splitlines()
        self.test.assertIn(status, (0, 1), lines)
        return process, (json.loads(lines[-1]) if len(lines) > 1 else None), status

    def start_and_poke(self, start, started):
        process, answer, status = self.probe_first("poke", start)
        return process, answer["shown_ms"] / 1000 if status == 0 else None

    def start_and_close(self, start, how):
        """A posted or sent WM_CLOSE the moment the splash exists, ahead of any tick."""
        process, _, status = self.probe_first({"post": "close", "send": "send-close"}[how], start)
        return process, status == 0

    def runs(self, lines):
        return [tuple(line.split(" ", 1)[1] for line in lines[i:i + 4]) for i in range(0, len(lines), 4)]

    def expected_run(self, home, install_dir, path_dir):
        base = windows_path(install_dir)
        entries = ";".join('"%s"' % "\\".join([base] + entry) for entry in CLASS_PATH)
        program = '"%s\\bin\\java.exe"' % home if home else "java"
        # No DLL directory: the launcher's own restriction is not passed on; started hidden.
        return ("%s -classpath %s %s" % (program, entries, MAIN_CLASS), base, "", "0")


class EndToEndTest(unittest.TestCase):
    """A fresh temporary directory, the target, and a stub java in a directory of its own."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tolvarin-e2e-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.record = os.path.join(self.tmp, "java-runs")
        self.target = (PosixTarget if OPTIONS.platform == "posix" else WineTarget)(self)
        self.path_dir = self.make_dir("on-path")
        self.target.place_stub(self.path_dir)

    def make_dir(self, *parts):
        path = os.path.join(self.tmp, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def install(self):
        """Copies the launcher into a new install directory; returns that directory."""
        directory = self.make_dir(INSTALL_NAME)
        shutil.copy2(OPTIONS.launcher, directory)
        return directory

    def runs(self, expected=0):
        """The stub's recorded runs. The stub outlives the launcher, so this waits up to
        15 s for `expected` runs."""
        def recorded():
            if not os.path.exists(self.record):
                return []
            return self.target.runs(pathlib.Path(self.record).read_bytes().decode("utf-8").split("\n")[:-1])
        wait_until(lambda: len(recorded()) >= expected, 15 if expected else 0)
        return recorded()


def main():
    import argparse
    import sys
    global OPTIONS, X11, X_DISPLAY
    parser = argparse.ArgumentParser()
    parser.add_argument("--platform", choices=["posix", "win32"], required=True)
    parser.add_argument("--launcher", required=True)
    for option in ("--probe", "--stub-java", "--helper", "--seam-helper", "--actions", "--wine", "--reg-view"):
        parser.add_argument(option)
    OPTIONS, rest = parser.parse_known_args()
    if OPTIONS.wine and subprocess.run([OPTIONS.wine, "--check"]).returncode == 77:
        sys.exit(77)  # a 32-bit build on a kernel without 32-bit support; the emulator said why
    if OPTIONS.platform == "posix":
        # One connection held for the whole run: Xvfb resets when its last client leaves, and
        # a launcher that connects during the reset finds no display.
        X11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        X11.XOpenDisplay.restype = ctypes.c_void_p
        X11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        X_DISPLAY = ctypes.c_void_p(X11.XOpenDisplay(None))
    unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2)
