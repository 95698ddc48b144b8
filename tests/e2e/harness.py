"""Shared pieces of the end-to-end tests: temporary installs, waiting, X window queries."""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

SERVER_JAR = "Quarvel_SMS_Server_for_ZadidoZEREdura_with_XLS_for_Out_In.jar"
CLASS_PATH = [
    ["DOZOZIR", "lib", "comm.jar"],
    ["DOZOZIR", "lib", SERVER_JAR],
    ["DOZOZIR", "lib", "jdc.jar"],
    ["DOZOZIR", "lib", "jxl.jar"],
    ["DOZOZIR", "lib", "swing-layout-1.0.jar"],
    ["VUVUDIV", "lib", "win32com.dll.jar"],
    ["VUVUDIV"],
]
MAIN_CLASS = "Quindrel.Frame11"
# A name with a space and characters outside any ANSI code page.
INSTALL_NAME = os.environ.get("TOLVARIN_E2E_INSTALL_NAME", "SMS Zentrale \u00fc\u65e5")
SPLASH_PIXELS = (493, 335)  # at 96 dpi, which the test display runs at


# The runtimes key with one runtime of version 1.5 and an empty home: discovery succeeds,
# copies nothing, and the server starts with java from the search path.
RUNTIME_WITHOUT_HOME = {
    r"HKEY_LOCAL_MACHINE\SOFTWARE\JavaSoft\Java Runtime Environment\1.5": {"JavaHome": ""},
}


def write_reg_file(path, keys):
    """Writes a registry export as regedit does (UTF-16 with a byte-order mark): `keys`
    maps each key's full name to its string values."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        lines.append("[%s]" % key)
        for name, data in values.items():
            lines.append('"%s"="%s"' % (name, data.replace("\\", "\\\\").replace('"', '\\"')))
        lines.append("")
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))


def wait_until(predicate, timeout, interval=0.05):
    """Polls `predicate` until it returns something true or `timeout` seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)


class TempDirTestCase(unittest.TestCase):
    """Gives each test a fresh temporary directory, removed afterwards."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tolvarin-e2e-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)

    def make_dir(self, *parts):
        path = os.path.join(self.tmp, *parts)
        os.makedirs(path, exist_ok=True)
        return path

    def install(self, launcher, name=INSTALL_NAME):
        """Copies the launcher into a new install directory; returns that directory."""
        directory = self.make_dir(name)
        shutil.copy2(launcher, directory)
        return directory


def x_windows_of(pid):
    """X window ids that carry _NET_WM_PID `pid` and are mapped."""
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                            capture_output=True, text=True)
    return [int(w) for w in result.stdout.split()]


def x_window_named(name):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(name)],
                            capture_output=True, text=True)
    return [int(w) for w in result.stdout.split()]


def x_geometry(window):
    """(x, y, width, height) of a window, in root coordinates."""
    info = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True).stdout
    fields = dict(re.findall(r"^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s+(-?\d+)",
                             info, re.M))
    return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
            int(fields["Width"]), int(fields["Height"]))


def x_screen_size():
    info = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True).stdout
    return (int(re.search(r"Width:\s+(\d+)", info).group(1)),
            int(re.search(r"Height:\s+(\d+)", info).group(1)))


def x_property(window, name):
    return subprocess.run(["xprop", "-id", str(window), name], capture_output=True, text=True).stdout


def json_line(text):
    """The last line of a tool's output, read as JSON."""
    import json
    lines = text.splitlines()
    return json.loads(lines[-1]) if lines else None
