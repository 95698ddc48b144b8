"""The Windows release under Wine: tools/release.sh packages the built Varnolet.exe, signed
with a certificate of a throw-away CA, and its installer and uninstaller run silently, as an
administrator would run them (arguments as for launcher_e2e_test.py, win32 only)."""

import concurrent.futures
import contextlib
import ntpath
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile

import harness
import runtime_scenarios as rs

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "release"))
import release_test  # noqa: E402  (its check of the bill of materials)

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
SHORTCUT = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tolvarin.lnk"
PREPARE_SHORTCUT = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Prepare Java for Tolvarin.lnk"
CUSTOM_DIR = "C:\\Apps\\" + harness.INSTALL_NAME
DEFAULT_DIR = r"C:\Program Files (x86)\Quarvel\Tolvarin"
SUPPORT_DIR = r"C:\quarvel\GsmModemJar"
LOGS = r"C:\windows\temp"  # only administrators can change it, nor any folder above it
SERVER_FILES = ["/".join(entry) for entry in harness.CLASS_PATH if entry[-1].endswith(".jar")]
OPENSSL = [  # a CA, and a code-signing certificate it issued, as Tolvarin.p12
    "req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=Test-CA"
    " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign",
    "req -newkey rsa:2048 -nodes -keyout code.key -out code.csr -subj /CN=quarvel",
    "x509 -req -in code.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -out code.pem -extfile ext",
    "pkcs12 -export -inkey code.key -in code.pem -out Tolvarin.p12 -passout pass:secret",
]


def release(work, helper=None, **sign):
    return subprocess.run(["bash", os.path.join(ROOT, "tools", "release.sh"), "--exe", harness.OPTIONS.launcher,
                           "--helper", helper or harness.OPTIONS.helper, "--actions", harness.OPTIONS.actions,
                           "--build-dir", os.path.join(work, "build"),
                           "--dist", os.path.join(work, "dist")],
                          env=dict(os.environ, **sign), capture_output=True, text=True)


class InstallerTest(harness.EndToEndTest):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="tolvarin-release-")
        pathlib.Path(cls.work, "ext").write_text("extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n")
        for command in OPENSSL:
            subprocess.run(["openssl"] + command.split(), cwd=cls.work, check=True, capture_output=True)
        cls.sign = dict(TOLVARIN_SIGN_PKCS12=os.path.join(cls.work, "Tolvarin.p12"), TOLVARIN_SIGN_PASSWORD="secret")
        result = release(cls.work, **cls.sign)
        assert result.returncode == 0, result.stdout + result.stderr
        cls.dist = os.path.join(cls.work, "dist")
        cls.setup = harness.windows_path(os.path.join(cls.dist, "Tolvarin-1.0.0-setup.exe"))
        cls.standins = os.path.join(cls.work, "build", "stage", "standins")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def setUp(self):
        super().setUp()
        self.drive_c = os.path.dirname(os.path.dirname(self.target.sources))
        shutil.rmtree(os.path.dirname(self.target.sources))  # the installer makes it
        self.addCleanup(self.forget_install)

    def forget_install(self):
        """Whatever an install left: its folders and its Add/Remove Programs entry."""
        for leftover in (r"C:\quarvel", r"C:\Apps", r"C:\Program Files (x86)\Quarvel", SHORTCUT, PREPARE_SHORTCUT):
            path = self.unix(leftover)
            if os.path.isdir(path) and not os.path.islink(path):
                for directory, _, _ in os.walk(path):
                    os.chmod(directory, 0o755)
                shutil.rmtree(path)
            elif os.path.lexists(path):
                os.remove(path)
        self.target.wine("reg", "delete", UNINSTALL_KEY + "\\Tolvarin", "/f", "/reg:32")

    def unix(self, windows_path):
        return os.path.join(self.drive_c, *windows_path[3:].split("\\"))

    def run_ok(self, *args, **kwargs):
        result = self.target.wine(*args, **kwargs)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def install(self, directory="", status=0, **kwargs):
        """Runs the installer silently (`directory` as typed after /D=) until every process it
        started has ended; what it logged (/LOG=)."""
        log = LOGS + "\\setup-%d.log" % len(os.listdir(self.tmp))
        self.addCleanup(lambda: os.path.exists(self.unix(log)) and os.remove(self.unix(log)))
        command = '"%s" /S /LOG=%s' % (self.setup, log) + (" /D=" + directory if directory else "")
        self.assertEqual(self.target.probe("wait", command, **kwargs), ({"status": status}, 0), command)
        return pathlib.Path(self.unix(log)).read_text(encoding="utf-16")

    def uninstall(self, directory, status=0):
        """Runs QuietUninstallString as a deployment tool would: its exit status once its own
        process has ended, whatever that process may have started."""
        quiet = dict(self.values())["QuietUninstallString"]
        self.assertEqual(quiet, '"%s\\TolvarinHelper.exe" uninstall /S' % directory)
        self.assertEqual(self.target.probe("run", quiet), ({"status": status}, 0), quiet)

    def values(self, key=UNINSTALL_KEY + "\\Tolvarin"):
        """(name, text) of the values under `key` and its subkeys, 32-bit view, through `reg
        export`, which unlike `reg query` keeps every character."""
        exported = os.path.join(self.tmp, "values.reg")
        self.run_ok("reg", "export", key, harness.windows_path(exported), "/reg:32", "/y")
        found = re.findall(r'^"((?:[^"\\]|\\.)*)"=(.*)$', pathlib.Path(exported).read_text(encoding="utf-16"), re.M)
        return [(name, re.sub(r'^"(.*)"$', r"\1", re.sub(r'\\(.)', r"\1", value))) for name, value in found]

    def files(self, windows_dir):
        root = self.unix(windows_dir)
        return sorted(os.path.relpath(os.path.join(d, f), root).replace(os.sep, "/")
                      for d, _, names in os.walk(root) for f in names)

    def runtime_log(self, directory):
        return pathlib.Path(self.unix(directory + "\\Setup.log")).read_text(encoding="utf-16")

    def register(self, runtimes):
        """Lays out `runtimes` (runtime_scenarios.runtime rows), each with the stub java, and
        registers them; their homes by name."""
        homes = {name: d for name, (_, d) in rs.lay_out(rs.Scenario("", runtimes, [], ""), self.tmp).items()}
        for directory in homes.values():
            self.target.place_stub(os.path.join(directory, "bin"))
        self.target.import_registry(harness.export_registry(
            [(name, harness.windows_path(homes[home.name])) for name, home in runtimes]))
        return homes

    def start_from(self, link):
        """Starts a shortcut's target as the Start menu does (Wine's shell would resolve the
        shortcut through its ANSI copy of the path); the stub's runs."""
        self.run_ok(link["target"], cwd=self.unix(link["directory"]),
                    env=dict(os.environ, TOLVARIN_STUB_RECORD=harness.windows_path(self.record)))
        return self.runs(1)

    def helper(self, status, said, *arguments, helper=None, **env):
        """TolvarinHelper (or `helper`, a test build) run with `arguments` and `env`: its status, and
        `said` among what it says."""
        result = self.target.wine(helper or harness.OPTIONS.helper, *arguments, encoding="utf-16",
                                  env=dict(os.environ, **env))
        self.assertEqual(result.returncode, status, result.stdout)
        self.assertIn(said, result.stdout)

    def test_install_launch_uninstall(self):
        # Registered in the 32-bit view before the install: one too old, the one the launcher
        # chooses (holding an older Comm.jar of its own) and a later one.
        homes = self.register([rs.runtime("1.4"), rs.runtime("1.5", present={"Comm.jar": rs.OLD_COMM}),
                               rs.runtime("1.6")])
        home = homes["jre1_5"]

        self.install(CUSTOM_DIR)
        self.assertEqual(self.files(CUSTOM_DIR),
                         sorted(SERVER_FILES + ["Setup.log", "THIRD-PARTY-NOTICES.txt", "TolvarinHelper.exe", "Uninstall.exe",
                                                "Varnolet.exe"]))
        self.assertEqual(pathlib.Path(self.unix(CUSTOM_DIR + "\\THIRD-PARTY-NOTICES.txt")).read_bytes(),
                         pathlib.Path(self.dist, "THIRD-PARTY-NOTICES.txt").read_bytes())
        support = os.path.join(self.standins, "GsmModemJar")
        copied = {name: pathlib.Path(support, name).read_bytes() for name in rs.SOURCE_FILES}
        prepared = dict(copied, **{"Comm.jar": rs.OLD_COMM})
        self.assertEqual({name: rs.home_files(directory) for name, directory in homes.items()},
                         {"jre1_4": {}, "jre1_5": prepared, "jre1_6": {}})
        told = self.runtime_log(CUSTOM_DIR)
        self.assertIn(harness.windows_path(home) + " has the serial-port support files", told)
        self.assertIn(harness.windows_path(home) + "\\lib\\ext\\Comm.jar differs from Setup's copy and was kept", told)
        self.assertEqual(self.files(r"C:\quarvel"), sorted("GsmModemJar/" + name for name in rs.SOURCE_FILES))
        values = dict(self.values())
        size = values.pop("EstimatedSize")
        self.assertEqual(values, {
            "DisplayName": "Tolvarin", "DisplayVersion": "1.0.0", "Publisher": "quarvel ",
            "DisplayIcon": CUSTOM_DIR + "\\Varnolet.exe,0", "InstallLocation": CUSTOM_DIR,
            "UninstallString": '"%s\\TolvarinHelper.exe" uninstall' % CUSTOM_DIR,
            "QuietUninstallString": '"%s\\TolvarinHelper.exe" uninstall /S' % CUSTOM_DIR, "NoModify": "dword:00000001",
            "NoRepair": "dword:00000001"})
        self.assertGreater(int(size[len("dword:"):], 16), os.path.getsize(harness.OPTIONS.launcher) // 1024)
        for shortcut, program, arguments in ((SHORTCUT, "Varnolet.exe", ""), (PREPARE_SHORTCUT, "TolvarinHelper.exe",
                                                                            'prepare-runtime "%s\\Setup.log"' % CUSTOM_DIR)):
            self.assertEqual(self.target.probe("link", shortcut)[0], {
                "target": CUSTOM_DIR + "\\" + program, "arguments": arguments, "directory": CUSTOM_DIR,
                "icon": CUSTOM_DIR + "\\Varnolet.exe", "icon_index": 0})
        result = self.verify(self.unix(CUSTOM_DIR + "\\Uninstall.exe"))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

        # Started from the Start menu, it finds the runtime prepared and copies nothing.
        expected = self.target.expected_run(harness.windows_path(home), "/INSTALLED", self.path_dir)
        expected = tuple(part.replace(harness.windows_path("/INSTALLED"), CUSTOM_DIR) for part in expected)
        self.assertEqual(self.start_from(self.target.probe("link", SHORTCUT)[0]), [expected])
        self.assertEqual(rs.home_files(home), prepared)

        self.uninstall(CUSTOM_DIR)
        for gone in (CUSTOM_DIR, r"C:\quarvel", SHORTCUT, PREPARE_SHORTCUT):
            self.assertFalse(os.path.exists(self.unix(gone)), gone)
        self.assertEqual(self.target.wine("reg", "query", UNINSTALL_KEY + "\\Tolvarin", "/reg:32").returncode, 1)
        self.assertEqual(rs.home_files(home), prepared, "the runtime keeps the files copied into it")

    def test_install_twice_then_uninstall_keeps_what_the_user_added(self):
        self.install()
        # No runtime registered: installed all the same, and told what to do.
        told = self.runtime_log(DEFAULT_DIR)
        self.assertIn("No Java runtime 1.5 or later was found", told)
        self.assertIn('then run "Prepare Java for Tolvarin" from the Start menu', told)
        self.install()
        entries = self.values(UNINSTALL_KEY)
        self.assertEqual(entries.count(("DisplayName", "Tolvarin")), 1, entries)
        pathlib.Path(self.unix(DEFAULT_DIR + "\\DOZOZIR\\lib\\notes.txt")).write_text("mine")
        self.uninstall(DEFAULT_DIR)
        self.assertEqual(self.files(DEFAULT_DIR), ["DOZOZIR/lib/notes.txt"])
        self.assertFalse(os.path.exists(self.unix(r"C:\quarvel")))

    def state(self, *also):
        """What lies where an install writes (and in `also`), links as links, folders with their
        modes (Wine's access lists), and the Add/Remove Programs entries."""
        found = {}
        places = (r"C:\quarvel", r"C:\Apps", ntpath.dirname(DEFAULT_DIR), SHORTCUT)
        for top in [self.unix(p) for p in places] + list(also):
            walk = [] if os.path.islink(top) else [os.path.join(d, n) for d, ds, fs in os.walk(top) for n in ds + fs]
            for path in [top] + walk:
                if os.path.islink(path):
                    found[path] = "link to " + os.readlink(path)
                elif os.path.isfile(path):
                    found[path] = pathlib.Path(path).read_bytes()
                elif os.path.isdir(path):
                    found[path] = "folder %o" % os.stat(path).st_mode
        return found, self.values(UNINSTALL_KEY)

    def place(self, windows_path, what, elsewhere):
        """A "link" to `elsewhere`, an empty "file" or a "folder" at the path, "open" ones to Everyone."""
        path = self.unix(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if what == "link":
            os.symlink(elsewhere, path)
        elif what.endswith("file"):
            open(path, "w").close()
        else:
            os.makedirs(path)
        # Wine lists a mode 0777 entry as Everyone: DELETE, add and delete-child (0x1301ff).
        os.chmod(path, 0o777 if what.startswith("open ") else 0o755)

    def test_nothing_changes_where_a_folder_is_not_safe(self):
        elsewhere = self.make_dir("elsewhere")
        pathlib.Path(elsewhere, "theirs.txt").write_text("theirs")
        cases = [  # description, what is where, /D=, what the log must say
            ("a file where C:\\quarvel belongs", [(r"C:\quarvel", "file")], "",
             r"C:\quarvel is a file where a folder belongs"),
            ("C:\\quarvel is a link", [(r"C:\quarvel", "link")], "", r"C:\quarvel is a link to another place"),
            ("the install folder is a link", [(CUSTOM_DIR, "link")], CUSTOM_DIR,
             CUSTOM_DIR + " is a link to another place"),
            ("the install folder holds other files", [(CUSTOM_DIR + "\\theirs", "folder")], CUSTOM_DIR,
             CUSTOM_DIR + " already holds other files"),
            ("the install folder holds a Varnolet.exe of no install the machine records",
             [(CUSTOM_DIR + "\\Varnolet.exe", "file")], CUSTOM_DIR, CUSTOM_DIR + " already holds other files"),
            ("a folder above the install folder that others can rename", [(r"C:\Apps", "open folder")], CUSTOM_DIR,
             r"C:\Apps lets Everyone (S-1-1-0) delete or rename it, so others could put a folder of their own"),
            ("C:\\quarvel that others can add to", [(r"C:\quarvel", "open folder")], "",
             r"C:\quarvel lets Everyone (S-1-1-0) delete or rename it, add to it"),
            ("a file in GsmModemJar that others can change", [(SUPPORT_DIR + "\\Win32com.dll", "open file")], "",
             SUPPORT_DIR + "\\Win32com.dll lets Everyone (S-1-1-0) delete or rename it, change what it holds"),
            ("an install folder on the current drive", [], "\\Apps\\Tolvarin",
             "\\Apps\\Tolvarin is not a folder Setup can install into"),
        ]
        for description, entries, directory, said in cases:
            with self.subTest(description):
                self.forget_install()
                for windows_path, what in entries:
                    self.place(windows_path, what, elsewhere)
                before = self.state(elsewhere)
                self.assertIn(said, self.install(directory, status=2))
                self.assertEqual(self.state(elsewhere), before)

    def test_the_uninstall_runs_only_the_recorded_install_and_waits_for_it(self):
        self.install(CUSTOM_DIR)
        # A copy of the signed helper beside someone's Uninstall.exe, in a folder the rule keeps,
        # runs nothing.
        theirs = self.unix(r"C:\Apps\Other")
        os.makedirs(theirs)
        shutil.copy2(self.unix(CUSTOM_DIR + "\\TolvarinHelper.exe"), theirs)
        shutil.copy2(harness.OPTIONS.stub_java, os.path.join(theirs, "Uninstall.exe"))
        record = dict(os.environ, TOLVARIN_STUB_RECORD=harness.windows_path(self.record))
        log = LOGS + "\\uninstall.log"
        self.addCleanup(os.remove, self.unix(log))
        command = r'"C:\Apps\Other\TolvarinHelper.exe" --log %s uninstall /S' % log
        self.assertEqual(self.target.probe("run", command, env=record), ({"status": 4}, 0))
        with open(self.unix(log), encoding="utf-16") as f:
            self.assertIn(r"C:\Apps\Other is not where Tolvarin is installed", f.read())
        self.assertEqual(self.runs(), [])
        shutil.rmtree(theirs)
        # Nor does the recorded one once others could change what lies there.
        os.chmod(self.unix(CUSTOM_DIR), 0o777)
        before = self.state()
        self.uninstall(CUSTOM_DIR, status=4)
        self.assertEqual(self.state(), before)
        os.chmod(self.unix(CUSTOM_DIR), 0o755)
        # Nor anything once a user has made C:\quarvel again, after an administrator removed it, holding
        # a Comm.jar of their own: by the recorded line, or by the uninstaller run by itself.
        shutil.rmtree(self.unix(r"C:\quarvel"))
        self.place(SUPPORT_DIR + "\\Comm.jar", "file", None)
        os.chmod(self.unix(r"C:\quarvel"), 0o777)
        before = self.state()
        self.uninstall(CUSTOM_DIR, status=6)
        self.assertEqual(self.state(), before)
        direct = '"%s\\Uninstall.exe" /S _?=%s' % (CUSTOM_DIR, CUSTOM_DIR)
        self.assertEqual((self.target.probe("run", direct), self.state()), (({"status": 6}, 0), before))
        # Missing, it holds nothing to remove.
        shutil.rmtree(self.unix(r"C:\quarvel"))
        # A server jar held open goes at the next restart: the status is the uninstaller's, known
        # only once it has ended.
        with self.target.held(CUSTOM_DIR + "\\" + SERVER_FILES[0].replace("/", "\\")):
            self.uninstall(CUSTOM_DIR, status=3010)
        self.assertEqual(self.files(CUSTOM_DIR), [SERVER_FILES[0]])

    def test_no_log_is_written_behind_a_link_or_into_a_file_of_another(self):
        elsewhere = self.make_dir("elsewhere")
        logs, log = self.unix(r"C:\Logs"), r"C:\Logs\setup.log"

        def remove_logs():
            os.remove(logs) if os.path.islink(logs) else shutil.rmtree(logs, ignore_errors=True)
        self.addCleanup(remove_logs)
        theirs = pathlib.Path(elsewhere, "theirs.log")
        cases = [  # description; C:\Logs: a link to `elsewhere`, or the mode of a folder; what lies at the log
            ("Setup: the log's folder is a link", "link", None),
            ("Setup: others can rename the log's folder", 0o777, None),
            ("the helper: the log is a link", 0o755, "link"),
            ("the helper: the log is a second name of another file", 0o755, "hard link"),
            ("the helper: the log belongs to another account", 0o755, "another's"),
            ("the helper: others may write the log", 0o755, "open file"),
        ]
        for description, folder, at_log in cases:
            with self.subTest(description):
                self.forget_install()
                remove_logs()
                theirs.write_bytes(b"theirs")
                if folder == "link":
                    os.symlink(elsewhere, logs)
                else:
                    os.mkdir(logs)
                    os.chmod(logs, folder)
                if at_log == "link":
                    os.symlink(os.path.join(elsewhere, "made.log"), self.unix(log))
                elif at_log == "hard link":
                    os.link(theirs, self.unix(log))
                elif at_log:
                    pathlib.Path(self.unix(log)).write_bytes(b"theirs")
                    os.chmod(self.unix(log), 0o666 if at_log == "open file" else 0o644)
                before = self.state(elsewhere, logs)
                if description.startswith("Setup"):
                    self.assertEqual(self.target.probe("wait", '"%s" /S /LOG=%s' % (self.setup, log)), ({"status": 5}, 0))
                else:  # the test build shows the file as another account's
                    self.helper(5, "The log %s " % log, "--log", log, "note", "written", helper=harness.OPTIONS.seam_helper,
                                TOLVARIN_TEST_FOREIGN_OWNER=log if at_log == "another's" else "")
                self.assertEqual(self.state(elsewhere, logs), before)

    def test_a_link_raced_in_after_the_walk_leads_nothing_elsewhere(self):
        # The test build waits to create `racing` while the test plants there. Linux never follows a link at a
        # name it creates: the first three rows pass by path too; the last (the folder above swapped) tells.
        elsewhere = self.make_dir("elsewhere")
        log, moved = r"C:\Logs\setup.log", self.unix(r"C:\Apps-moved")
        self.addCleanup(lambda: shutil.rmtree(self.unix(r"C:\Logs"), ignore_errors=True))
        self.addCleanup(lambda: shutil.rmtree(moved, ignore_errors=True))

        def link(at, to=elsewhere):
            return lambda: os.symlink(to, self.unix(at))

        def move_apps():
            os.rename(self.unix(r"C:\Apps"), moved)
            os.symlink(elsewhere, self.unix(r"C:\Apps"))
        protect = ["protect-folder", CUSTOM_DIR]
        cases = [  # description; made beforehand; where it races; what it plants; the command; status; said
            ("a link at a missing folder above the install folder", [], r"C:\Apps", link(r"C:\Apps"), protect, 2,
             r"C:\Apps is a link to another place"),
            ("a link at the install folder", [r"C:\Apps"], CUSTOM_DIR, link(CUSTOM_DIR), protect, 2,
             CUSTOM_DIR + " is a link to another place"),
            # Wine shows no link to a file as one and opens none that leads nowhere: refused as unopenable.
            ("a link at the log's name", [r"C:\Logs"], log, link(log, os.path.join(elsewhere, "made.log")),
             ["--log", log, "note", "written"], 5, "The log %s " % log),
            # Made in the folder held, whatever its name leads to now; then found to lead elsewhere.
            ("the folder above moved away, a link in its place", [r"C:\Apps"], CUSTOM_DIR, move_apps, protect, 2,
             r"C:\Apps became a link to another place"),
        ]
        for description, made, racing, plant, arguments, status, said in cases:
            with self.subTest(description):
                self.forget_install()
                for folder in made:
                    os.makedirs(self.unix(folder), exist_ok=True)
                helper = concurrent.futures.ThreadPoolExecutor(1).submit(
                    self.helper, status, said, *arguments, helper=harness.OPTIONS.seam_helper, TOLVARIN_TEST_RACE=racing)
                self.assertTrue(harness.wait_until(lambda: os.path.exists(self.unix(racing + ".racing")), 60))
                plant()
                pathlib.Path(self.unix(racing + ".raced")).touch()
                helper.result()
                self.assertEqual(os.listdir(elsewhere), [])
        self.assertTrue(os.path.isdir(os.path.join(moved, harness.INSTALL_NAME)))
        self.helper(2, r"C:\Apps is a link to another place", "check-folder", CUSTOM_DIR)

    def test_what_lies_in_a_kept_folder_is_judged_before_its_list_is_set(self):
        # Refused before the new list rewrites what lies inside (Setup's checks refuse it earlier still).
        # Wine shows a list it sets as the folder's mode, 755 becoming 775, and passes none on inside.
        self.place(SUPPORT_DIR + "\\old", "open folder", None)
        before = self.state()
        self.helper(2, SUPPORT_DIR + "\\old lets Everyone (S-1-1-0) delete or rename it", "protect-folder", SUPPORT_DIR)
        self.assertEqual(self.state(), before)

    def test_an_owner_or_build_not_to_trust(self):
        # Wine shows one owner for every file: the helper's test build shows C:\quarvel as another's.
        os.makedirs(self.unix(SUPPORT_DIR))
        self.helper(2, r"C:\quarvel belongs to S-1-5-21-1-2-3-1001, not to an administrator", "check-folder",
                    r"C:\quarvel", helper=harness.OPTIONS.seam_helper, TOLVARIN_TEST_FOREIGN_OWNER=r"C:\quarvel")
        # ... which the release refuses to ship.
        work = self.make_dir("test-build")
        result = release(work, helper=harness.OPTIONS.seam_helper)
        self.assertEqual(result.returncode, 64, result.stderr)
        self.assertIn("is a test build", result.stderr)

    def test_only_files_nobody_else_can_change_are_put_in_place(self):
        folder = self.make_dir("placed")
        cases = [  # description, the new file's mode, held open, status, what the name holds then
            ("Setup's own", 0o644, False, 0, b"new"),
            ("one others may change", 0o666, False, 2, b"old"),
            ("one somebody holds open", 0o644, True, 32, b"old"),
        ]
        for description, mode, held, status, after in cases:
            with self.subTest(description):
                target = pathlib.Path(folder, "Win32com.dll")
                target.write_bytes(b"old")
                written = pathlib.Path(folder, "Win32com.dll.tolvarin-new")
                written.write_bytes(b"new")
                written.chmod(mode)
                with self.target.held(harness.windows_path(str(written))) if held else contextlib.nullcontext():
                    self.helper(status, "", "place", harness.windows_path(folder), "Win32com.dll")
                self.assertEqual((target.read_bytes(), written.exists()), (after, status != 0))
                written.unlink(missing_ok=True)

    def test_a_support_file_in_use_stops_setup_before_it_changes_anything(self):
        os.makedirs(self.unix(SUPPORT_DIR))
        pathlib.Path(self.unix(SUPPORT_DIR + "\\Win32com.dll")).write_bytes(b"planted, and held open")
        before = self.state()
        with self.target.held(SUPPORT_DIR + "\\Win32com.dll"):
            self.install(status=32)
        self.assertEqual(self.state(), before)

    def verify(self, path):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", os.path.join(self.work, "ca.pem"), "-in", path],
                              capture_output=True, text=True)

    def test_signed_release(self):
        # The shipped programs, each with a component for every library its linker map shows.
        release_test.check_bill(self, self.dist, dict(zip(release_test.PROGRAMS, (
            harness.OPTIONS.launcher, harness.OPTIONS.helper, harness.OPTIONS.actions))))
        for name in ("Varnolet.exe", "Tolvarin-1.0.0-setup.exe"):
            result = self.verify(os.path.join(self.dist, name))
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # Signing adds the signature and changes only the header's checksum and its pointer to
        # the signature: code, resources and version stay as built.
        built = bytearray(pathlib.Path(harness.OPTIONS.launcher).read_bytes())
        signed = bytearray(pathlib.Path(self.dist, "Varnolet.exe").read_bytes())[:len(built)]
        header = struct.unpack_from("<I", built, 0x3C)[0]
        for image in built, signed:
            image[header + 0x58:header + 0x5C], image[header + 0x98:header + 0xA0] = bytes(4), bytes(8)
        self.assertEqual(signed, built)
        # A failed signature fails the release and leaves no part of it behind.
        work = self.make_dir("failed")
        result = release(work, **dict(self.sign, TOLVARIN_SIGN_PASSWORD="wrong"))
        self.assertNotEqual(result.returncode, 0)
        self.assertFalse(os.path.exists(os.path.join(work, "dist")))


if __name__ == "__main__":
    harness.main()
