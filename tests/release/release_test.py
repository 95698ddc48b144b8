"""tools/release.sh with this machine's makensis and a Varnolet.exe and helper given, so that
nothing Windows runs: what it refuses to remove, where relative paths lead, and which commands
learn the signing password. Every command on the search path is wrapped to note whether it
was handed the password, in its environment or on an open descriptor; osslsigncode is a fake
that notes its arguments and whether its -readpass file holds the password."""

import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake_lists:
    VERSION = re.search(r"project\(Tolvarin VERSION ([0-9.]+)", cmake_lists.read()).group(1)
RELEASE = ["Varnolet.exe", "SHA256SUMS", f"Tolvarin-{VERSION}-setup.exe", f"Tolvarin-{VERSION}-win32.zip",
           f"Tolvarin-{VERSION}.msi"]
PASSWORD = "pä ss-7Rq"
with open(os.path.join(ROOT, "installer", "msi", "tolvarin.wxs"), encoding="utf-8") as wxs:
    ACTIONS = sorted(set(re.findall(r'DllEntry="([^"]+)"', wxs.read())))
TIMESTAMP_URL = "http://tsa.invalid/rfc3161"

# Shell built-ins only, so that checking starts no command of its own.
WRAPPER = """#!/bin/sh
IFS= read -r secret <'{secret}'
leak=
case "$(export -p)" in *"$secret"*) leak=" environment" ;; esac
for fd in /proc/$$/fd/*; do
  [ "${{fd##*/}}" -gt 2 ] && [ -f "$fd" ] || continue
  IFS= read -r line <"$fd" || true
  case "$line" in *"$secret"*) leak="$leak descriptor" ;; esac
done
printf '%s\\n' "${{0##*/}}${{leak:+ LEAK$leak}} $*" >>'{log}'
exec '{real}' "$@"
"""
FAKE_OSSLSIGNCODE = """#!/bin/sh
IFS= read -r secret <'{secret}'
arguments="$*" pass=/dev/null
while [ $# -gt 0 ]; do
  case "$1" in -readpass) pass=$2 ;; -in) in=$2 ;; -out) out=$2 ;; esac
  shift
done
[ "$pass" = - ] && pass=/dev/stdin
IFS= read -r got <"$pass" || true
[ "$got" = "$secret" ] && heard=password || heard="no password"
printf 'osslsigncode (%s) %s\\n' "$heard" "$arguments" >>'{log}'
exec '{cp}' "$in" "$out"
"""


def program(machine, exports=None):
    """A Windows program for `machine` as far as the release reads it; with `exports` (names), a
    DLL exporting them from its one section, at address 0x1000 and 0x200 into the file."""
    names = exports or []
    starts = [0x1000 + 40 + 4 * len(names) + sum(len(n) + 1 for n in names[:i]) for i in range(len(names))]
    section = (struct.pack("<24xI4xI4x", len(names), 0x1000 + 40) + struct.pack("<%dI" % len(names), *starts)
               + b"".join(n.encode() + b"\0" for n in names))
    optional = struct.pack("<H94xI", 0x10B, 0x1000 if exports else 0).ljust(0xE0, b"\0")
    coff = struct.pack("<HH12xHH", machine, 1, len(optional), 0x2102 if exports is not None else 0x102)
    table = struct.pack("<8sIIII16x", b".edata", len(section), 0x1000, len(section), 0x200)
    image = b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40) + b"PE\0\0" + coff + optional + table
    return image.ljust(0x200, b"\0") + section


class ReleaseScript(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tolvarin-release-test-")
        self.root = self.tmp.name
        self.log = os.path.join(self.root, "commands.log")
        self.secret = os.path.join(self.root, "secret")
        with open(self.secret, "w", encoding="utf-8") as f:
            f.write(PASSWORD + "\n")
        wrappers = os.path.join(self.root, "bin")
        os.mkdir(wrappers)
        for directory in os.environ["PATH"].split(os.pathsep):
            for name in sorted(os.listdir(directory)) if os.path.isdir(directory) else []:
                real = os.path.join(directory, name)
                wrapper = os.path.join(wrappers, name)
                if not os.path.exists(wrapper) and os.path.isfile(real) and os.access(real, os.X_OK):
                    self.write(wrapper, WRAPPER.format(secret=self.secret, log=self.log, real=real))
        self.write(os.path.join(wrappers, "osslsigncode"),
                   FAKE_OSSLSIGNCODE.format(secret=self.secret, log=self.log, cp=shutil.which("cp")))
        self.caller = os.path.join(self.root, "caller")
        for name in ("server/DOZOZIR/Quindrel.class", "server/VUVUDIV/\u00e9.jar", "support/Comm.jar",
                     "support/javax.comm.properties", "support/Win32com.dll", "Varnolet.exe", "signer.p12"):
            self.write(os.path.join(self.caller, name), name)
        for name, content in (("TolvarinHelper.exe", program(0x14C)),
                              ("TolvarinSetupActions.dll", program(0x14C, ACTIONS))):
            with open(os.path.join(self.caller, name), "wb") as f:
                f.write(content)
        # LC_ALL=C: the locale under which makensis crashed on the name that is not ASCII.
        self.env = dict(os.environ, PATH=wrappers + os.pathsep + os.environ["PATH"], LC_ALL="C",
                        SOURCE_DATE_EPOCH="1700000000", TMPDIR=os.path.join(self.root, "tmp"))
        os.mkdir(self.env["TMPDIR"])

    def tearDown(self):
        self.tmp.cleanup()

    @staticmethod
    def write(path, text):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        os.chmod(path, 0o755)

    def release(self, *arguments, env=None):
        """The release run from the caller's directory: status, error output, commands run."""
        # The caller's own shell, not a wrapper: it was handed the password.
        command = [shutil.which("bash"), os.path.join(ROOT, "tools", "release.sh"),
                   "--exe", "Varnolet.exe", "--helper", "TolvarinHelper.exe", "--actions",
                   "TolvarinSetupActions.dll", "--server", "server",
                   "--support", "support", *arguments]
        result = subprocess.run(command, cwd=self.caller, env=dict(self.env, **(env or {})),
                                capture_output=True, text=True, timeout=300)
        with open(self.log, "a+", encoding="utf-8", errors="replace") as f:
            f.seek(0)
            return result.returncode, result.stderr, f.read().splitlines()

    def test_a_directory_holding_something_else_is_refused_before_any_work(self):
        cases = [  # what the directory holds; the name the refusal must show
            ("a lone older installer in --dist", "--dist", ["Tolvarin-0.9.0-setup.exe"],
             "Tolvarin-0.9.0-setup.exe"),
            ("an earlier release and a file in --dist", "--dist", RELEASE + ["notes.txt"], "notes.txt"),
            ("a file in --build-dir", "--build-dir", ["notes.txt"], "notes.txt"),
        ]
        for description, option, names, shown in cases:
            with self.subTest(description):
                directory = os.path.join(self.caller, "caller-" + option[2:])
                for name in names:
                    self.write(os.path.join(directory, name), "kept")
                status, stderr, commands = self.release(option, os.path.basename(directory))
                self.assertNotEqual(status, 0)
                self.assertIn(shown, stderr)
                self.assertEqual(sorted(os.listdir(directory)), sorted(names))
                work = [c for c in commands if c.split()[0] in ("bash", "cmake", "makensis", "rm")]
                self.assertEqual(work, [])
                for name in names:
                    os.remove(os.path.join(directory, name))

    def test_only_the_shipped_helper_and_actions_are_packaged(self):
        # A real test build of the helper is refused in installer_e2e_test.py.
        cases = [  # the option; what is given; what the refusal says
            ("--helper", program(0x8664), "not a 32-bit Windows program"),
            ("--helper", b"TolvarinHelper.exe", "not a 32-bit Windows program"),
            ("--actions", program(0x14C), "not a 32-bit Windows DLL"),
            ("--actions", program(0x8664, ACTIONS), "not a 32-bit Windows DLL"),
            ("--actions", program(0x14C, ACTIONS[1:]), "does not export the package's actions " + ACTIONS[0]),
        ]
        for option, content, said in cases:
            with self.subTest(said, option=option):
                with open(os.path.join(self.caller, "given"), "wb") as f:
                    f.write(content)
                status, stderr, commands = self.release(option, "given")
                self.assertEqual(status, 64)
                self.assertIn(said, stderr)
                self.assertEqual([c for c in commands if c.split()[0] in ("cmake", "makensis")], [])

    def test_dist_changed_during_the_build_is_kept(self):
        # Judged empty at the start, given a file of someone's while the release runs.
        dist = os.path.join(self.caller, "caller-dist")
        os.mkdir(dist)
        hook = os.path.join(self.root, "bin", "makensis")
        with open(hook) as f:
            wrapper = f.read()
        self.write(hook, wrapper.replace("exec ", "echo mine >'%s/notes.txt'\nexec " % dist, 1))
        status, stderr, _ = self.release("--dist", "caller-dist", "--build-dir", "caller-build")
        self.assertEqual(status, 64, stderr)
        self.assertIn("changed while the release was built", stderr)
        self.assertEqual(os.listdir(dist), ["notes.txt"])
        self.assertEqual([n for n in os.listdir(self.caller) if n.startswith(".tolvarin")], [])

    def test_signed_from_another_directory(self):
        # Names that the checkout does not have, should they be taken from there; the caller's
        # own exported variable named as the script's must not carry the password either.
        status, stderr, commands = self.release(
            "--dist", "caller-dist", "--build-dir", "caller-build",
            env={"TOLVARIN_SIGN_PKCS12": "signer.p12", "password": "the caller's",
                 "TOLVARIN_SIGN_PASSWORD": PASSWORD, "TOLVARIN_SIGN_TIMESTAMP_URL": TIMESTAMP_URL})
        self.assertEqual(status, 0, stderr)
        self.assertEqual(sorted(os.listdir(os.path.join(self.caller, "caller-dist"))), sorted(RELEASE))

        # Varnolet.exe, the helper, the custom actions, the uninstaller (from makensis), the
        # installer and the package; each time-stamped.
        signings = [c for c in commands if c.startswith("osslsigncode")]
        self.assertEqual(len(signings), 6, commands)
        for signing in signings:
            self.assertTrue(signing.startswith("osslsigncode (password) "), signing)
            self.assertIn(f" -ts {TIMESTAMP_URL} ", signing)
            self.assertIn(f" -pkcs12 {self.caller}/signer.p12 ", signing)
        # Only makensis holds the password, for the command that signs the uninstaller; that it
        # shows also tells that the wrappers see what they should.
        leaks = [c for c in commands if " LEAK" in c]
        self.assertTrue(leaks)
        self.assertEqual([c for c in leaks if not (c.startswith("makensis LEAK descriptor ") or
                                                   c.startswith("bash LEAK descriptor ") and
                                                   " --sign /dev/fd/" in c)], [])

        for directory, _, names in os.walk(self.root):
            for name in names:
                path = os.path.join(directory, name)
                if path != self.secret and os.path.dirname(path) != os.path.join(self.root, "bin"):
                    with open(path, "rb") as f:
                        self.assertNotIn(PASSWORD.encode(), f.read(), path)


if __name__ == "__main__":
    unittest.main()
