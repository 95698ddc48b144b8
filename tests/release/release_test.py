"""tools/release.sh with this machine's makensis and wixl and a small program linked here with
its map given as Varnolet.exe, helper and custom actions, so that nothing Windows runs: what it
refuses to remove, where relative paths lead, which commands learn the signing password, and
that what enters a program without a notice fails the release. Every command on the search path
is wrapped to note whether it was handed the password, in its environment or on an open
descriptor; osslsigncode is a fake that notes its arguments and whether its -readpass file holds
the password."""

import hashlib
import json
import os
import pathlib
import re
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VERSION = re.search(r"project\(Tolvarin VERSION ([0-9.]+)",
                    pathlib.Path(ROOT, "CMakeLists.txt").read_text(encoding="utf-8")).group(1)
BOM = f"Tolvarin-{VERSION}.cdx.json"
RELEASE = ["Varnolet.exe", "SHA256SUMS", f"Tolvarin-{VERSION}-setup.exe", f"Tolvarin-{VERSION}-win32.zip",
           f"Tolvarin-{VERSION}.msi", "THIRD-PARTY-NOTICES.txt", BOM]
# C++ with an exception and a winpthreads mutex: libstdc++, libgcc, the runtime and winpthreads;
# linked stripped, within the size the release holds its programs to.
PROGRAM = """#include <pthread.h>
pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
int main(int argc, char **) {
  pthread_mutex_lock(&m);
  if (argc > 5) throw argc;
  return pthread_mutex_unlock(&m);
}
"""
PROGRAMS = ("Varnolet.exe", "TolvarinHelper.exe", "TolvarinSetupActions.dll")
PASSWORD = "pä ss-7Rq"
ACTIONS = sorted(set(re.findall(r'DllEntry="([^"]+)"',
                                pathlib.Path(ROOT, "installer", "msi", "tolvarin.wxs").read_text(encoding="utf-8"))))
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


def program(machine):
    """The headers of a Windows program for `machine`, as far as the release reads them."""
    return b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40) + b"PE\0\0" + struct.pack("<H", machine)


def libraries(map_file):
    """The files outside the build tree a linker map shows bytes of in the program."""
    memory = pathlib.Path(map_file).read_text(encoding="utf-8").split("Linker script and memory map", 1)[1]
    return {os.path.normpath(path) for size, path in re.findall(r"^ \S*\s+0x\w+\s+0x(\w+) (/[^\s(]+)", memory, re.M)
            if int(size, 16)}


def check_bill(test, dist, programs):
    """The bill of materials in `dist` validates, names every other file there with its hash, and
    gives each of `programs` (name: file with its map) a component for every library in its map."""
    text = pathlib.Path(dist, BOM).read_bytes()
    validator = os.path.join(ROOT, "tools", "cyclonedx", "validate.cjs")
    test.assertEqual(subprocess.run(["node", validator, os.path.join(dist, BOM)]).returncode, 0)
    bom = json.loads(text)
    hashes = {c["name"]: c["hashes"][0]["content"] for c in bom["components"] if c.get("hashes")}
    for name in os.listdir(dist):
        if name not in ("SHA256SUMS", BOM, BOM + ".p7s"):
            test.assertEqual(hashes.get(name), hashlib.sha256(pathlib.Path(dist, name).read_bytes()).hexdigest(), name)
    test.assertIn("%s  %s" % (hashlib.sha256(text).hexdigest(), BOM),
                  pathlib.Path(dist, "SHA256SUMS").read_text(encoding="utf-8").splitlines())
    found = {c["bom-ref"]: {o["location"] for o in c.get("evidence", {}).get("occurrences", [])}
             for c in bom["components"]}
    holds = {d["ref"]: d["dependsOn"] for d in bom["dependencies"]}
    for name, path in programs.items():
        held = set().union(*(found[ref] for ref in holds["file:" + name]))
        test.assertTrue(libraries(path + ".map"))
        test.assertEqual(libraries(path + ".map") - held, set(), name)


class ReleaseScript(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.linked = tempfile.TemporaryDirectory(prefix="tolvarin-release-program-")
        pathlib.Path(cls.linked.name, "program.cpp").write_text(PROGRAM, encoding="utf-8")
        # Compiled first: the map names the program's own object as a build tree does, by a relative path.
        # A DLL exporting the package's actions, and one lacking the first.
        for name, actions in (("actions", ACTIONS), ("lacking", ACTIONS[1:])):
            pathlib.Path(cls.linked.name, name + ".cpp").write_text("".join(
                'extern "C" __declspec(dllexport) unsigned __stdcall %s(unsigned long) { return 0; }\n' % action
                for action in actions), encoding="utf-8")
        for step in (["-c", "program.cpp"], ["-static", "-s", "program.o", "-o", "program.exe", "-Wl,-Map=program.exe.map", "-lpthread"],
                     ["-c", "actions.cpp", "lacking.cpp"],
                     ["-static", "-shared", "-Wl,--kill-at", "actions.o", "-o", "actions.dll", "-Wl,-Map=actions.dll.map"],
                     ["-static", "-shared", "-Wl,--kill-at", "lacking.o", "-o", "lacking.dll"]):
            subprocess.run(["i686-w64-mingw32-g++-win32", "-O2", *step], cwd=cls.linked.name, check=True)

    @classmethod
    def tearDownClass(cls):
        cls.linked.cleanup()

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tolvarin-release-test-")
        self.root = self.tmp.name
        self.log = os.path.join(self.root, "commands.log")
        self.secret = os.path.join(self.root, "secret")
        pathlib.Path(self.secret).write_text(PASSWORD + "\n", encoding="utf-8")
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
                     "support/javax.comm.properties", "support/Win32com.dll"):
            self.write(os.path.join(self.caller, name), name)
        for name in PROGRAMS:
            built = "actions.dll" if name.endswith(".dll") else "program.exe"
            for suffix in ("", ".map"):
                shutil.copy(os.path.join(self.linked.name, built + suffix), os.path.join(self.caller, name + suffix))
        # The signing key, with the password: the bill of materials' signature is openssl's own.
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out", "cert.pem",
                        "-subj", "/CN=quarvel", "-days", "2"], cwd=self.caller, check=True, capture_output=True)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", "key.pem", "-in", "cert.pem", "-out", "signer.p12",
                        "-passout", "file:" + self.secret], cwd=self.caller, check=True)
        # LC_ALL=C: the locale under which makensis crashed on the name that is not ASCII.
        self.env = dict(os.environ, PATH=wrappers + os.pathsep + os.environ["PATH"], LC_ALL="C",
                        SOURCE_DATE_EPOCH="1700000000", TMPDIR=os.path.join(self.root, "tmp"))
        os.mkdir(self.env["TMPDIR"])

    def tearDown(self):
        self.tmp.cleanup()

    @staticmethod
    def write(path, text):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        pathlib.Path(path).write_text(text, encoding="utf-8")
        os.chmod(path, 0o755)

    def release(self, *arguments, env=None, checkout=ROOT):
        """The release run from the caller's directory: status, error output, commands run."""
        # The caller's own shell, not a wrapper: it was handed the password.
        command = [shutil.which("bash"), os.path.join(checkout, "tools", "release.sh"),
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
            ("--actions", "program.exe", "not a 32-bit Windows DLL"),
            ("--actions", "lacking.dll", "does not export the package's actions " + ACTIONS[0]),
        ]
        for option, content, said in cases:
            with self.subTest(said, option=option):
                if isinstance(content, str):
                    content = pathlib.Path(self.linked.name, content).read_bytes()
                pathlib.Path(self.caller, "given").write_bytes(content)
                status, stderr, commands = self.release(option, "given")
                self.assertEqual(status, 64)
                self.assertIn(said, stderr)
                self.assertEqual([c for c in commands if c.split()[0] in ("cmake", "makensis")], [])

    def test_what_enters_a_program_without_a_notice_fails_the_release(self):
        copy = os.path.join(self.root, "checkout")
        listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout.decode()
        for name in filter(None, listed.split("\0")):
            os.makedirs(os.path.dirname(os.path.join(copy, name)), exist_ok=True)
            shutil.copy2(os.path.join(ROOT, name), os.path.join(copy, name))
        os.symlink(os.path.join(ROOT, "tools", "cyclonedx", "node_modules"), os.path.join(copy, "tools", "cyclonedx", "node_modules"))
        rules = pathlib.Path(copy, "tools", "third-party.txt")
        original = rules.read_text(encoding="utf-8")
        # A library of the MinGW-w64 runtime's that no package owns, where the program's map has winpthreads.
        unowned = shutil.copy("/usr/i686-w64-mingw32/lib/libpthread.a", os.path.join(self.root, "libextra.a"))
        cases = [  # what is taken away; the line of the notices' sources dropped, or the map's library replaced; said
            ("libstdc++'s source", "source /usr/lib/gcc/i686-w64-mingw32/*-win32/libstdc++.a", None, "libstdc++.a"),
            ("winpthreads' component", "component winpthreads ", None, "mingw-w64-libraries/winpthreads/"),
            ("the expat licence", "licence expat ", None, "'expat'"),
            ("a package's record", None, unowned, unowned + ", which no Debian package owns"),
        ]
        for description, dropped, library, said in cases:
            with self.subTest(description):
                kept = [line for line in original.splitlines(True) if not dropped or not line.startswith(dropped)]
                self.assertEqual(len(kept), len(original.splitlines()) - (1 if dropped else 0))
                rules.write_text("".join(kept), encoding="utf-8")
                map_file = pathlib.Path(self.caller, "Varnolet.exe.map")
                built = map_file.read_text(encoding="utf-8")
                if library:
                    map_file.write_text(re.sub(r"\S*/libpthread\.a", library, built), encoding="utf-8")
                status, stderr, _ = self.release("--dist", "caller-dist", checkout=copy)
                map_file.write_text(built, encoding="utf-8")
                self.assertNotEqual(status, 0)
                self.assertIn(said, stderr)
                self.assertFalse(os.path.exists(os.path.join(self.caller, "caller-dist")))

    def test_dist_changed_during_the_build_is_kept(self):
        # Judged empty at the start, given a file of someone's while the release runs.
        dist = os.path.join(self.caller, "caller-dist")
        os.mkdir(dist)
        hook = os.path.join(self.root, "bin", "makensis")
        self.write(hook, pathlib.Path(hook).read_text(encoding="utf-8").replace("exec ", "echo mine >'%s/notes.txt'\nexec " % dist, 1))
        status, stderr, _ = self.release("--dist", "caller-dist", "--build-dir", "caller-build")
        self.assertEqual(status, 64, stderr)
        self.assertIn("changed while the release was built", stderr)
        self.assertEqual(os.listdir(dist), ["notes.txt"])
        self.assertEqual([n for n in os.listdir(self.caller) if n.startswith(".tolvarin")], [])

    def test_signed_from_another_directory(self):
        # Names that the checkout does not have, should they be taken from there; the caller's
        # own exported variable named as the script's must not carry the password either.
        for dist in ("caller-dist", "again-dist"):
            status, stderr, commands = self.release(
                "--dist", dist, "--build-dir", "caller-build",
                env={"TOLVARIN_SIGN_PKCS12": "signer.p12", "password": "the caller's",
                     "TOLVARIN_SIGN_PASSWORD": PASSWORD, "TOLVARIN_SIGN_TIMESTAMP_URL": TIMESTAMP_URL})
            self.assertEqual(status, 0, stderr)
        dist = os.path.join(self.caller, "caller-dist")
        self.assertEqual(sorted(os.listdir(dist)), sorted(RELEASE + [BOM + ".p7s"]))
        for name in os.listdir(dist):  # reproducible, signatures included
            self.assertEqual(pathlib.Path(dist, name).read_bytes(), pathlib.Path(self.caller, "again-dist", name).read_bytes(),
                             name)
        check_bill(self, dist, {name: os.path.join(self.caller, name) for name in PROGRAMS})
        verified = subprocess.run(["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", os.path.join(dist, BOM + ".p7s"),
                                   "-content", os.path.join(dist, BOM), "-CAfile", os.path.join(self.caller, "cert.pem"),
                                   "-purpose", "any", "-out", os.devnull], capture_output=True)
        self.assertEqual(verified.returncode, 0, verified.stderr)
        with zipfile.ZipFile(os.path.join(dist, f"Tolvarin-{VERSION}-win32.zip")) as archive:
            self.assertEqual(archive.read("THIRD-PARTY-NOTICES.txt"), pathlib.Path(dist, "THIRD-PARTY-NOTICES.txt").read_bytes())

        # Varnolet.exe, the helper, the custom actions, the uninstaller (from makensis), the
        # installer and the package, twice; each time-stamped.
        signings = [c for c in commands if c.startswith("osslsigncode")]
        self.assertEqual(len(signings), 12, commands)
        for signing in signings:
            self.assertTrue(signing.startswith("osslsigncode (password) "), signing)
            self.assertIn(f" -ts {TIMESTAMP_URL} ", signing)
            self.assertIn(f" -pkcs12 {self.caller}/signer.p12 ", signing)
        # Only makensis holds the password, for the command that signs the uninstaller, and openssl
        # while it opens the .p12; that it shows also tells that the wrappers see what they should.
        leaks = [c for c in commands if " LEAK" in c]
        self.assertTrue(leaks)
        self.assertEqual([c for c in leaks if not (c.startswith("makensis LEAK descriptor ") or
                                                   c.startswith("openssl LEAK descriptor pkcs12 ") or
                                                   c.startswith("bash LEAK descriptor ") and
                                                   " --sign /dev/fd/" in c)], [])

        for directory, _, names in os.walk(self.root):
            for name in names:
                path = os.path.join(directory, name)
                if path != self.secret and os.path.dirname(path) != os.path.join(self.root, "bin"):
                    self.assertNotIn(PASSWORD.encode(), pathlib.Path(path).read_bytes(), path)


if __name__ == "__main__":
    unittest.main()
