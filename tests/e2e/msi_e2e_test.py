"""The Windows Installer package under Wine's 32-bit msiexec, run silently as a deployment tool
runs it, beside the setup program of the same release (arguments as for launcher_e2e_test.py,
win32 only, and --actions, the built TolvarinSetupActions.dll)."""

import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

import harness
import installer_e2e_test as setup_test
import runtime_scenarios as rs

ROOT = setup_test.ROOT
MSIEXEC = r"C:\windows\syswow64\msiexec.exe"
DEFAULT_DIR, CUSTOM_DIR = setup_test.DEFAULT_DIR, setup_test.CUSTOM_DIR
UNINSTALL_KEY = setup_test.UNINSTALL_KEY
INSTALL_FAILURE, UNKNOWN_PRODUCT = 1603, 1605
INSTALLED = sorted(setup_test.SERVER_FILES + ["Setup.log", "TolvarinHelper.exe", "Varnolet.exe"])


def build_msi(version, out, work, stage, server):
    subprocess.run(["bash", os.path.join(ROOT, "installer", "msi", "build_msi.sh"), version, out, work,
                    "--exe", harness.OPTIONS.launcher,
                    "--helper", os.path.join(stage, "TolvarinHelper.exe"),
                    "--actions", os.path.join(stage, "TolvarinSetupActions.dll"), "--server", server,
                    "--support", os.path.join(stage, "GsmModemJar"),
                    "--icon", os.path.join(ROOT, "assets", "varnolet.ico")],
                   check=True, env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))


def product_code(msi):
    exported = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True, check=True)
    return re.search(r"^ProductCode\t(\S+)$", exported.stdout, re.M).group(1)


class PackageTest(harness.EndToEndTest):
    # What the setup program's test knows of the machine, the same here.
    forget_install, unix, values, files, runtime_log, verify = (
        setup_test.InstallerTest.forget_install, setup_test.InstallerTest.unix, setup_test.InstallerTest.values,
        setup_test.InstallerTest.files, setup_test.InstallerTest.runtime_log, setup_test.InstallerTest.verify)
    run_ok = setup_test.InstallerTest.run_ok

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="tolvarin-msi-")
        with open(os.path.join(cls.work, "ext"), "w") as f:
            f.write("extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n")
        for command in setup_test.OPENSSL:
            subprocess.run(["openssl"] + command.split(), cwd=cls.work, check=True, capture_output=True)
        result = subprocess.run(
            ["bash", os.path.join(ROOT, "tools", "release.sh"), "--exe", harness.OPTIONS.launcher,
             "--helper", harness.OPTIONS.helper, "--actions", harness.OPTIONS.actions,
             "--build-dir", os.path.join(cls.work, "build"), "--dist", os.path.join(cls.work, "dist")],
            env=dict(os.environ, TOLVARIN_SIGN_PKCS12=os.path.join(cls.work, "Tolvarin.p12"),
                     TOLVARIN_SIGN_PASSWORD="secret"), capture_output=True, text=True)
        assert result.returncode == 0, result.stdout + result.stderr
        cls.dist = os.path.join(cls.work, "dist")
        cls.msi = os.path.join(cls.dist, "Tolvarin-1.0.0.msi")
        cls.stage = os.path.join(cls.work, "build", "stage")
        cls.support = os.path.join(cls.stage, "GsmModemJar")
        # An older release of the same source: one server file changed since, one gone since.
        older = os.path.join(cls.work, "older-server")
        shutil.copytree(os.path.join(cls.stage, "server"), older)
        with open(os.path.join(older, *harness.CLASS_PATH[1]), "wb") as f:
            f.write(b"the older server")
        with open(os.path.join(older, "DOZOZIR", "lib", "dropped.jar"), "wb") as f:
            f.write(b"dropped since")
        cls.older = os.path.join(cls.work, "Tolvarin-0.9.0.msi")
        build_msi("0.9.0", cls.older, os.path.join(cls.work, "older-msi"), cls.stage, older)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def setUp(self):
        super().setUp()
        self.drive_c = os.path.dirname(os.path.dirname(self.target.sources))
        shutil.rmtree(os.path.dirname(self.target.sources))  # the package makes it
        self.addCleanup(self.forget_install)
        self.addCleanup(self.forget_package)

    def forget_package(self):
        """The package's install, should a test leave one: removed as an administrator would."""
        if self.entries():
            for package in (self.msi, self.older):
                self.target.probe("wait", '%s /x %s /qn' % (MSIEXEC, product_code(package)))

    def msiexec(self, arguments, status=0, env=None):
        """msiexec silently, logging verbosely; the log. Timed, for the figures (not judged)."""
        log = os.path.join(self.tmp, "msiexec.log")
        if os.path.exists(log):
            os.remove(log)
        command = '%s %s /qn /l*v "%s"' % (MSIEXEC, arguments, harness.windows_path(log))
        started = time.monotonic()
        answer = self.target.probe("wait", command, env=env)
        print("  msiexec %s: %.1f s" % (arguments.split()[0], time.monotonic() - started), file=sys.stderr)
        with open(log, "rb") as f:
            data = f.read()
        text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("latin-1")
        self.assertEqual(answer, ({"status": status}, 0), command + "\n" + text[-3000:])
        return text

    def install(self, package, folder=None, status=0):
        return self.msiexec('/i "%s"%s' % (harness.windows_path(package),
                                           ' INSTALLFOLDER="%s"' % folder if folder else ""), status)

    def uninstall(self, package, status=0):
        return self.msiexec("/x %s" % product_code(package), status)

    def entries(self):
        """The DisplayVersion of every Add/Remove Programs entry named Tolvarin."""
        exported = os.path.join(self.tmp, "entries.reg")
        self.run_ok("reg", "export", UNINSTALL_KEY, harness.windows_path(exported), "/reg:32", "/y")
        with open(exported, encoding="utf-16") as f:
            keys = re.split(r"^\[", f.read(), flags=re.M)
        return [re.search(r'^"DisplayVersion"="(.*)"$', key, re.M).group(1) for key in keys
                if re.search(r'^"DisplayName"="Tolvarin"$', key, re.M)]

    def shortcut(self):
        """The Start-menu shortcut: for all users, or where Wine's msiexec puts it (the user's
        own Start menu: it takes ProgramMenuFolder before ALLUSERS)."""
        users = os.path.join(self.drive_c, "users")
        places = [setup_test.SHORTCUT] + [
            r"C:\users\%s\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Tolvarin.lnk" % user
            for user in sorted(os.listdir(users))]
        found = [place for place in places if os.path.exists(self.unix(place))]
        return found[0] if found else None

    def state(self):
        """What lies where an install writes, and the entries."""
        found = {}
        for top in (r"C:\quarvel", r"C:\Apps", r"C:\Program Files (x86)\Quarvel"):
            path = self.unix(top)
            found[top] = None if not os.path.lexists(path) else "link" if os.path.islink(path) else sorted(
                os.path.relpath(os.path.join(d, n), path) for d, ds, fs in os.walk(path) for n in ds + fs)
        return found, self.shortcut(), self.entries()

    def test_install_launch_uninstall_in_the_default_folder(self):
        runtimes = [rs.runtime("1.4"), rs.runtime("1.5", present={"Comm.jar": rs.OLD_COMM})]
        homes = {name: d for name, (_, d) in rs.lay_out(rs.Scenario("", runtimes, [], ""), self.tmp).items()}
        for directory in homes.values():
            self.target.place_stub(os.path.join(directory, "bin"))
        self.target.import_registry(harness.export_registry(
            [(name, harness.windows_path(homes[home.name])) for name, home in runtimes]))
        home = homes["jre1_5"]
        before = self.state()

        log = self.install(self.msi)
        self.assertIn("TolvarinHelper: Made C:\\quarvel\\GsmModemJar, writable by administrators only.", log)
        self.assertEqual(self.files(DEFAULT_DIR), INSTALLED)
        self.assertEqual(self.files(r"C:\quarvel"), sorted("GsmModemJar/" + name for name in rs.SOURCE_FILES))
        copied = {name: pathlib.Path(self.support, name).read_bytes() for name in rs.SOURCE_FILES}
        prepared = dict(copied, **{"Comm.jar": rs.OLD_COMM})
        self.assertEqual(rs.home_files(home), prepared)
        self.assertIn(harness.windows_path(home) + " has the serial-port support files", self.runtime_log(DEFAULT_DIR))
        self.assertEqual(self.entries(), ["1.0.0"])
        entry = dict(self.values(UNINSTALL_KEY + "\\" + product_code(self.msi)))
        self.assertEqual((entry["Publisher"], entry["InstallLocation"]), ("quarvel ", DEFAULT_DIR + "\\"))
        link = self.target.probe("link", self.shortcut())[0]
        self.assertEqual((link["target"], link["directory"].rstrip("\\")), (DEFAULT_DIR + "\\Varnolet.exe", DEFAULT_DIR))

        # Started as the Start menu starts it: the runtime is ready, nothing is copied.
        self.run_ok(link["target"], cwd=self.unix(link["directory"]),
                    env=dict(os.environ, TOLVARIN_STUB_RECORD=harness.windows_path(self.record)))
        self.assertEqual(len(self.runs(1)), 1)
        self.assertEqual(rs.home_files(home), prepared)

        added = self.unix(DEFAULT_DIR + "\\DOZOZIR\\lib\\notes.txt")
        with open(added, "w") as f:
            f.write("mine")
        self.uninstall(self.msi)
        self.assertEqual(self.files(DEFAULT_DIR), ["DOZOZIR/lib/notes.txt"])
        os.remove(added)
        for folder in ("\\DOZOZIR\\lib", "\\DOZOZIR", "", "\\.."):
            os.rmdir(os.path.normpath(self.unix(DEFAULT_DIR + folder)))
        self.assertEqual(self.state(), before)
        self.assertEqual(rs.home_files(home), prepared, "the runtime keeps the files copied into it")

    def test_a_given_folder_is_remembered_by_the_upgrade_and_a_downgrade_is_refused(self):
        self.install(self.older, CUSTOM_DIR)
        self.assertIn("DOZOZIR/lib/dropped.jar", self.files(CUSTOM_DIR))
        self.assertEqual(self.entries(), ["0.9.0"])

        self.install(self.msi)  # no folder given: the earlier install's
        self.assertEqual(self.files(CUSTOM_DIR), INSTALLED)
        with open(os.path.join(self.stage, "server", *harness.CLASS_PATH[1]), "rb") as f, \
                open(self.unix(CUSTOM_DIR + "\\" + "\\".join(harness.CLASS_PATH[1])), "rb") as g:
            self.assertEqual(g.read(), f.read())
        self.assertFalse(os.path.exists(self.unix(DEFAULT_DIR)))
        self.assertEqual(self.entries(), ["1.0.0"])

        before = self.state()
        log = self.install(self.older, status=INSTALL_FAILURE)
        # Wine's msiexec logs no launch condition's message, Windows's does.
        self.assertIn("Property(S): WIX_DOWNGRADE_DETECTED = " + product_code(self.msi), log)
        self.assertEqual(self.state(), before)

        self.uninstall(self.msi)
        self.assertFalse(os.path.exists(self.unix(CUSTOM_DIR)))
        self.assertEqual(self.state()[1:], (None, []))
        self.uninstall(self.msi, status=UNKNOWN_PRODUCT)

    def test_an_unsafe_folder_fails_the_install_and_leaves_nothing(self):
        elsewhere = self.make_dir("elsewhere")
        with open(os.path.join(elsewhere, "theirs.txt"), "w") as f:
            f.write("theirs")
        cases = [  # the link, the folder given, what the helper says
            (r"C:\quarvel", None, "C:\\quarvel is a link"),
            (CUSTOM_DIR, CUSTOM_DIR, " is a link"),
        ]
        for link, folder, said in cases:
            with self.subTest(link):
                self.forget_install()
                os.makedirs(os.path.dirname(self.unix(link)), exist_ok=True)
                os.symlink(elsewhere, self.unix(link))
                before = self.state()
                log = self.install(self.msi, folder, status=INSTALL_FAILURE)
                self.assertRegex(log, "TolvarinHelper: .*" + re.escape(said))
                self.assertIn("TolvarinHelper check-folder ended with status", log)
                self.assertEqual(self.state(), before)
                self.assertEqual(os.listdir(elsewhere), ["theirs.txt"])

    def test_a_refusal_after_the_files_are_written_undoes_the_install(self):
        # The check of what was written made to refuse: a copy of the package whose check after
        # InstallFiles asks for a folder where a file was written.
        package = os.path.join(self.tmp, "refusing.msi")
        shutil.copy(self.msi, package)
        subprocess.run(["msibuild", package, "-q", "UPDATE `CustomAction` SET `Target` = "
                        "'check-folder|[GSMMODEMJAR]Comm.jar' WHERE `Action` = 'SetCheckWritten'"], check=True)
        before = self.state()
        log = self.install(package, CUSTOM_DIR, status=INSTALL_FAILURE)
        self.assertIn("TolvarinHelper: Made C:\\quarvel, writable by administrators only.", log)
        self.assertIn("TolvarinHelper check-folder ended with status", log)
        self.assertEqual(self.state(), before)

    def test_the_setup_program_and_the_package_refuse_each_other(self):
        setup = harness.windows_path(os.path.join(self.dist, "Tolvarin-1.0.0-setup.exe"))
        self.assertEqual(self.target.probe("wait", '"%s" /S' % setup), ({"status": 0}, 0))
        log = self.install(self.msi, status=INSTALL_FAILURE)
        self.assertIn("Property(S): SETUPINSTALL = " + DEFAULT_DIR, log)
        quiet = dict(self.values(UNINSTALL_KEY + "\\Tolvarin"))["QuietUninstallString"]
        self.assertEqual(self.target.probe("run", quiet), ({"status": 0}, 0))

        self.install(self.msi)
        before = self.state()
        self.assertEqual(self.target.probe("wait", '"%s" /S' % setup), ({"status": 2}, 0))
        self.assertEqual(self.state(), before)

    def test_the_package(self):
        result = self.verify(self.msi)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # Built again from the same files: the same bytes.
        again = os.path.join(self.tmp, "again.msi")
        for out, work in ((os.path.join(self.tmp, "first.msi"), "w1"), (again, "w2")):
            build_msi("1.0.0", out, os.path.join(self.tmp, work), self.stage, os.path.join(self.stage, "server"))
        with open(os.path.join(self.tmp, "first.msi"), "rb") as f, open(again, "rb") as g:
            self.assertEqual(f.read(), g.read())
        # Every row a deferred action, a rollback or the order relies on: one missing fails the check.
        check = [sys.executable, os.path.join(ROOT, "installer", "msi", "check_tables.py")]
        self.assertEqual(subprocess.run(check + [again, "1.0.0"]).returncode, 0)
        for query in ("DELETE FROM `CustomAction` WHERE `Action` = 'RemoveNewFolders'",
                      "UPDATE `CustomAction` SET `Type` = 2113 WHERE `Action` = 'RemoveNewFolders'",
                      "DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'CheckWritten'",
                      "UPDATE `InstallExecuteSequence` SET `Sequence` = 4010 WHERE `Action` = 'ProtectFolders'"):
            with self.subTest(query):
                broken = os.path.join(self.tmp, "broken.msi")
                shutil.copy(again, broken)
                subprocess.run(["msibuild", broken, "-q", query], check=True)
                self.assertEqual(subprocess.run(check + [broken, "1.0.0"], capture_output=True).returncode, 1)


if __name__ == "__main__":
    harness.main()
