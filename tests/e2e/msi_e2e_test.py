"""The Windows Installer package under Wine's 32-bit msiexec, run silently as a deployment tool
runs it, beside the setup program of the same release (arguments as for installer_e2e_test.py)."""

import concurrent.futures
import ctypes
import glob
import ntpath
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys

import harness
import installer_e2e_test as setup_test
import runtime_scenarios as rs

MSIEXEC = r"C:\windows\syswow64\msiexec.exe"
DEFAULT_DIR, CUSTOM_DIR, UNINSTALL_KEY = setup_test.DEFAULT_DIR, setup_test.CUSTOM_DIR, setup_test.UNINSTALL_KEY
SUPPORT_DIR, ADMIN_ONLY = setup_test.SUPPORT_DIR, r"C:\AdminOnly"
INSTALLED = sorted(setup_test.SERVER_FILES + ["Setup.log", "THIRD-PARTY-NOTICES.txt", "TolvarinHelper.exe", "Varnolet.exe"])
FOLDERS = "[QUARVEL]|[GSMMODEMJAR]|[INSTALLFOLDER]"
CHECK_TABLES = [sys.executable, os.path.join(setup_test.ROOT, "installer", "msi", "check_tables.py")]


def build_msi(version, out, stage, server):
    subprocess.run(["bash", os.path.join(setup_test.ROOT, "installer", "msi", "build_msi.sh"), version, out,
                    out + ".work", "--exe", harness.OPTIONS.launcher, "--helper", os.path.join(stage, "TolvarinHelper.exe"),
                    "--actions", os.path.join(stage, "TolvarinSetupActions.dll"), "--server", server,
                    "--support", os.path.join(stage, "GsmModemJar"),
                    "--icon", os.path.join(setup_test.ROOT, "assets", "varnolet.ico"),
                    "--notices", os.path.join(stage, "THIRD-PARTY-NOTICES.txt")],
                   check=True, env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))


def with_rows(msi, out, *queries):
    """A copy of the package with the msibuild queries applied."""
    shutil.copy(msi, out)
    for query in queries:
        subprocess.run(["msibuild", out, "-q", query], check=True)
    return out


class Removals:
    """Names removed or moved away from the folders given, as inotify reports them."""

    def __init__(self, folders):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd, self.folders = libc.inotify_init1(os.O_NONBLOCK), {}
        for folder in folders:  # IN_MOVED_FROM | IN_DELETE
            self.folders[libc.inotify_add_watch(self.fd, os.fsencode(folder), 0x240)] = folder

    def seen(self):
        data, names = b"", []
        try:
            while True:
                data += os.read(self.fd, 1 << 16)
        except BlockingIOError:
            os.close(self.fd)
        while data:
            wd, _, _, size = struct.unpack_from("iIII", data)
            names.append(os.path.join(self.folders[wd], os.fsdecode(data[16:16 + size].rstrip(b"\0"))))
            data = data[16 + size:]
        return names


def product_code(msi):
    exported = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True, check=True)
    return re.search(r"^ProductCode\t(\S+)$", exported.stdout, re.M).group(1)


class PackageTest(harness.EndToEndTest):
    def setUp(self):
        super().setUp()
        self.drive_c = os.path.dirname(os.path.dirname(self.target.sources))
        shutil.rmtree(os.path.dirname(self.target.sources))  # the package makes it
        self.msi, self.stage = os.path.join(self.dist, "Tolvarin-1.0.0.msi"), os.path.join(self.work, "build", "stage")
        self.addCleanup(self.forget_install)
        self.addCleanup(lambda: self.entries() and self.target.probe("wait", "%s /x %s /qn" % (MSIEXEC, product_code(self.msi))))

    def msiexec(self, arguments, status=0):
        """msiexec silently, logging verbosely (Wine writes the log in ANSI); the log."""
        log = os.path.join(self.tmp, "msiexec.log")
        command = '%s %s /qn /l*v "%s"' % (MSIEXEC, arguments, harness.windows_path(log))
        answer = self.target.probe("wait", command)
        text = pathlib.Path(log).read_bytes().decode("latin-1")
        os.remove(log)
        self.assertEqual(answer, ({"status": status}, 0), command + "\n" + text[-3000:])
        return text

    def install(self, package, folder=None, status=0):
        given = ' INSTALLFOLDER="%s"' % folder if folder else ""
        return self.msiexec('/i "%s"%s' % (harness.windows_path(package), given), status)

    def entries(self):
        """The DisplayVersion of every Add/Remove Programs entry named Tolvarin."""
        exported = os.path.join(self.tmp, "entries.reg")
        self.run_ok("reg", "export", UNINSTALL_KEY, harness.windows_path(exported), "/reg:32", "/y")
        keys = re.split(r"^\[", pathlib.Path(exported).read_text(encoding="utf-16"), flags=re.M)
        return [re.search(r'^"DisplayVersion"="(.*)"$', key, re.M).group(1) for key in keys
                if re.search(r'^"DisplayName"="Tolvarin"$', key, re.M)]

    def state(self):
        """What lies where an install writes, links as links; the shortcut (Wine's msiexec puts it
        into the user's Start menu: it resolves ProgramMenuFolder before ALLUSERS); the entries."""
        found = {}
        for top in (r"C:\quarvel", r"C:\Apps", r"C:\Program Files (x86)\Quarvel"):
            path = self.unix(top)
            found[top] = None if not os.path.lexists(path) else "link" if os.path.islink(path) else sorted(
                os.path.relpath(os.path.join(d, n), path) for d, ds, fs in os.walk(path) for n in ds + fs)
        shortcuts = glob.glob(os.path.join(self.drive_c, "*", "*", "*", "*", "Microsoft", "Windows", "Start Menu",
                                           "Programs", "Tolvarin.lnk")) + glob.glob(self.unix(setup_test.SHORTCUT))
        return found, ["C:\\" + os.path.relpath(s, self.drive_c).replace("/", "\\") for s in shortcuts], self.entries()

    def test_install_launch_uninstall_in_the_default_folder(self):
        homes = self.register([rs.runtime("1.4"), rs.runtime("1.5", present={"Comm.jar": rs.OLD_COMM})])
        home, before = homes["jre1_5"], self.state()

        log = self.install(self.msi)
        self.assertIn("TolvarinHelper: Made C:\\quarvel\\GsmModemJar, writable by administrators only.", log)
        self.assertEqual(self.files(DEFAULT_DIR), INSTALLED)
        self.assertEqual(self.files(r"C:\quarvel"), sorted("GsmModemJar/" + name for name in rs.SOURCE_FILES))
        support = os.path.join(self.stage, "GsmModemJar")
        prepared = dict({name: pathlib.Path(support, name).read_bytes() for name in rs.SOURCE_FILES}, **{"Comm.jar": rs.OLD_COMM})
        self.assertEqual(rs.home_files(home), prepared)
        self.assertIn(harness.windows_path(home) + " has the serial-port support files", self.runtime_log(DEFAULT_DIR))
        entry = dict(self.values(UNINSTALL_KEY + "\\" + product_code(self.msi)))
        self.assertEqual((self.entries(), entry["Publisher"], entry["InstallLocation"]), (["1.0.0"], "quarvel ", DEFAULT_DIR + "\\"))
        shortcut = self.state()[1][0]
        link = self.target.probe("link", shortcut)[0]
        self.assertEqual((link["target"], link["directory"].rstrip("\\")), (DEFAULT_DIR + "\\Varnolet.exe", DEFAULT_DIR))
        prepare = self.target.probe("link", ntpath.join(ntpath.dirname(shortcut), "Prepare Java for Tolvarin.lnk"))[0]
        self.assertEqual((prepare["target"], prepare["arguments"]),
                         (DEFAULT_DIR + "\\TolvarinHelper.exe", 'prepare-runtime "%s\\Setup.log"' % DEFAULT_DIR))

        # Started from the Start menu: the runtime is ready, nothing is copied.
        self.assertEqual((len(self.start_from(link)), rs.home_files(home)), (1, prepared))

        added = pathlib.Path(self.unix(DEFAULT_DIR + "\\DOZOZIR\\lib\\notes.txt"))
        added.write_text("mine")
        # The removal judges the folder before it deletes anything: a link inside stops it.
        os.symlink(self.tmp, self.unix(DEFAULT_DIR + "\\DOZOZIR\\theirs"))
        self.assertRegex(self.msiexec("/x " + product_code(self.msi), status=1603), r"DOZOZIR\\theirs is a link")
        self.assertEqual(self.files(DEFAULT_DIR), sorted(INSTALLED + ["DOZOZIR/lib/notes.txt"]))
        os.remove(self.unix(DEFAULT_DIR + "\\DOZOZIR\\theirs"))
        self.msiexec("/x " + product_code(self.msi))
        self.assertEqual(self.files(DEFAULT_DIR), ["DOZOZIR/lib/notes.txt"])
        added.unlink()
        for folder in list(added.parents)[:4]:
            folder.rmdir()
        self.assertEqual(self.state(), before)
        self.assertEqual(rs.home_files(home), prepared, "the runtime keeps the files copied into it")

    def test_a_given_folder_is_remembered_by_upgrade_and_repair_and_a_downgrade_is_refused(self):
        # An older release of the same source: one server file changed since, one gone since.
        older_server, older = os.path.join(self.tmp, "server"), os.path.join(self.tmp, "Tolvarin-0.9.0.msi")
        shutil.copytree(os.path.join(self.stage, "server"), older_server)
        pathlib.Path(older_server, *harness.CLASS_PATH[1]).write_bytes(b"the older server")
        pathlib.Path(older_server, "DOZOZIR", "lib", "dropped.jar").write_bytes(b"dropped since")
        build_msi("0.9.0", older, self.stage, older_server)
        self.install(older, CUSTOM_DIR)
        self.assertEqual((len(self.files(CUSTOM_DIR)), self.entries()), (len(INSTALLED) + 1, ["0.9.0"]))

        pathlib.Path(self.unix(CUSTOM_DIR + "\\notes.txt")).write_text("mine")
        # Refused before anything is scheduled (Wine's rollback would delete 0.9.0's files): a link
        # among the support files, another folder.
        theirs, before = self.unix(SUPPORT_DIR + "\\theirs"), self.state()
        os.symlink(self.tmp, theirs)
        self.assertRegex(self.install(self.msi, status=1603), r"GsmModemJar\\theirs is a link")
        os.remove(theirs)
        self.assertEqual(self.state(), before)
        self.refused_elsewhere('/i "%s"' % harness.windows_path(self.msi))
        # Upgraded: the folders stay throughout.
        removals = Removals([self.drive_c, self.unix(r"C:\quarvel"), self.unix(r"C:\Apps")])
        self.install(self.msi)  # no folder given: the earlier install's
        gone = removals.seen()
        self.assertEqual({self.unix(p) for p in (r"C:\quarvel", SUPPORT_DIR, CUSTOM_DIR)} & set(gone), set(), gone)
        self.assertEqual((self.files(CUSTOM_DIR), self.entries()), (sorted(INSTALLED + ["notes.txt"]), ["1.0.0"]))
        self.assertEqual(pathlib.Path(self.unix(CUSTOM_DIR), *harness.CLASS_PATH[1]).read_bytes(),
                         pathlib.Path(self.stage, "server", *harness.CLASS_PATH[1]).read_bytes())

        before = self.state()
        log = self.install(older, status=1603)
        # Wine's msiexec logs no launch condition's message, Windows's does.
        self.assertIn("Property(S): WIX_DOWNGRADE_DETECTED = " + product_code(self.msi), log)
        self.assertEqual(self.state(), before)

        self.refused_elsewhere('/i "%s" REINSTALL=ALL REINSTALLMODE=amus' % harness.windows_path(self.msi))
        os.remove(self.unix(CUSTOM_DIR + "\\Varnolet.exe"))
        # A repair, in the remembered folder (Wine's msiexec takes no /f with a product code).
        self.msiexec('/i "%s" REINSTALL=ALL' % harness.windows_path(self.msi))
        self.assertEqual(self.files(CUSTOM_DIR), sorted(INSTALLED + ["notes.txt"]))
        os.remove(self.unix(CUSTOM_DIR + "\\notes.txt"))
        self.msiexec("/x " + product_code(self.msi))
        self.assertEqual(self.state(), ({r"C:\quarvel": None, r"C:\Apps": [], r"C:\Program Files (x86)\Quarvel": None}, [], []))
        self.msiexec("/x " + product_code(self.msi), status=1605)  # unknown product

    def refused_elsewhere(self, arguments):
        """msiexec `arguments` with INSTALLFOLDER naming a folder of an administrator's, while Tolvarin
        is installed in CUSTOM_DIR: refused, the folder as it was to the byte and mode, the record kept."""
        admin = pathlib.Path(self.unix(ADMIN_ONLY))
        if not admin.exists():
            admin.mkdir(0o700)
            (admin / "secret.conf").write_text("secret")
            self.addCleanup(shutil.rmtree, admin)

        def seen():
            return ({p: (p.stat().st_mode, p.is_file() and p.read_bytes()) for p in [admin, *admin.rglob("*")]},
                    self.values(r"HKLM\Software\Quarvel\Tolvarin"))
        before = seen()
        log = self.msiexec('%s INSTALLFOLDER="%s"' % (arguments, ADMIN_ONLY), status=1603)
        self.assertRegex(log, r"Tolvarin is installed in C:\\Apps\\SMS .* not in INSTALLFOLDER C:\\AdminOnly")
        self.assertEqual(seen(), before)

    def test_a_refusal_fails_the_install_and_leaves_nothing(self):
        elsewhere = self.make_dir("elsewhere")
        pathlib.Path(elsewhere, "theirs.txt").write_text("theirs")
        def written_as(name, checked, more=""):  # a copy of the package with other checks after writing
            return with_rows(self.msi, os.path.join(self.tmp, name), "UPDATE `CustomAction` SET `Target` = 'package-"
                             "folders|%s\nwritten-folders|[FolderNotes]|%s\ncheck-folder|%s%s' WHERE `Action` = "
                             "'SetCheckWritten'" % (FOLDERS, FOLDERS, checked, more))
        refusing = written_as("refusing.msi", "[QUARVEL]|[GSMMODEMJAR]|[GSMMODEMJAR]Comm.jar")  # a file as a folder
        status_line = "TolvarinHelper check-folder ended with status"
        cases = [  # what is placed where (as InstallerTest.place); the package; the folder given; the log (ANSI)
            ([(r"C:\quarvel", "link")], self.msi, None, r"TolvarinHelper: C:\\quarvel is a link(.|\n)*" + status_line),
            ([(CUSTOM_DIR, "link")], self.msi, CUSTOM_DIR, r"TolvarinHelper: C:\\Apps\\SMS Zentrale .* is a link"),
            ([(CUSTOM_DIR + "\\theirs", "folder")], self.msi, CUSTOM_DIR, r"SMS Zentrale .* already holds other files"),
            # A file's name says nothing of an install: no install is recorded.
            ([(CUSTOM_DIR + "\\Varnolet.exe", "file")], self.msi, CUSTOM_DIR, r"SMS Zentrale .* already holds other files"),
            ([], refusing, CUSTOM_DIR, r"TolvarinHelper: Made C:\\quarvel, (.|\n)*" + status_line),
            # Support files an administrator put there stay: nothing is scheduled for Wine to undo.
            ([(SUPPORT_DIR + "\\theirs", "link")] + [(SUPPORT_DIR + "\\" + name, "file") for name in rs.SOURCE_FILES],
             self.msi, CUSTOM_DIR, r"GsmModemJar\\theirs is a link"),
            ([], self.msi, "Apps\\Tolvarin", r"INSTALLFOLDER Apps\\Tolvarin is not an absolute path"),  # once never ended
            # Values judged before they are composed into data; data the package never composes.
            ([], self.msi, "C:\\Apps\\T\nnote|INJECTED-7f3", r"INSTALLFOLDER C:\\Apps\\T\?note\|INJECTED-7f3 has a char"),
            ([], written_as("more.msi", FOLDERS, "\nnote|INJECTED-7f3"), CUSTOM_DIR,
             r"CheckWritten was given data that is not the package's \(a line that is none of its commands"),
            ([], written_as("wider.msi", FOLDERS + "|C:\\INJECTED-7f3"), CUSTOM_DIR, r"\(check-folder with 4 arguments\)"),
        ]
        for placed, package, folder, said in cases:
            with self.subTest(placed=placed, package=package):
                self.forget_install()
                for windows_path, what in placed:
                    self.place(windows_path, what, elsewhere)
                before = self.state()
                log = self.install(package, folder, status=1603)
                self.assertRegex(log, said)
                self.assertNotIn("TolvarinHelper: INJECTED", log)
                self.assertEqual((self.state(), os.listdir(elsewhere)), (before, ["theirs.txt"]))

    def test_a_rollback_leaves_what_took_the_place_of_a_folder_it_made(self):
        # A copy of the package that, once the folders are made, waits until the test has put
        # something in place of C:\Apps, then fails (with 1627 under Wine); win_probe answer: a
        # pause, no box being shown. C:\Apps holds no component: Wine's own rollback leaves it.
        gate = pathlib.Path(self.tmp, "gate.cmd")
        gate.write_text('@echo off\r\necho.>"%~dp0ready"\r\nset /a n=0\r\n:wait\r\nif exist "%~dp0go" exit 1\r\n'
                        'set /a n+=1\r\nif %n% gtr 600 exit 1\r\n"{}" answer 100 >nul\r\ngoto wait\r\n'
                        .format(harness.windows_path(harness.OPTIONS.probe)))
        waiting = with_rows(self.msi, os.path.join(self.tmp, "waiting.msi"),
                            "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES "
                            "('Gate', 3106, 'TARGETDIR', 'cmd.exe /c \"%s\"')" % harness.windows_path(gate),
                            "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('Gate', 1509)")
        apps, empty, another = self.unix(r"C:\Apps"), self.make_dir("empty"), self.unix(r"C:\another")

        def link():
            shutil.rmtree(apps)
            os.symlink(empty, apps)

        def move_in():  # made before C:\Apps goes: Linux gives the next folder made its inode
            os.mkdir(another)
            shutil.rmtree(apps)
            os.rename(another, apps)
        for replace, said in ((link, "a link"), (move_in, "another folder")):
            with self.subTest(said):
                self.forget_install()
                for signal in ("ready", "go"):
                    pathlib.Path(self.tmp, signal).unlink(missing_ok=True)
                install = concurrent.futures.ThreadPoolExecutor(1).submit(self.install, waiting, CUSTOM_DIR, 1627)
                self.assertTrue(harness.wait_until(lambda: os.path.exists(os.path.join(self.tmp, "ready")), 60))
                replace()
                pathlib.Path(self.tmp, "go").touch()
                log = install.result()
                self.assertEqual((os.path.isdir(apps) and os.listdir(apps), self.entries()), ([], []))
                self.assertIn(r"Left C:\Apps, made by this install: %s is in its place now." % said, log)

    def test_the_setup_program_and_the_package_refuse_each_other(self):
        self.assertEqual(self.target.probe("wait", '"%s" /S' % self.setup), ({"status": 0}, 0))
        self.assertIn("Property(S): SETUPINSTALL = " + DEFAULT_DIR, self.install(self.msi, status=1603))
        quiet = dict(self.values(UNINSTALL_KEY + "\\Tolvarin"))["QuietUninstallString"]
        self.assertEqual(self.target.probe("run", quiet), ({"status": 0}, 0))

        self.install(self.msi)
        before = self.state()
        self.assertEqual(self.target.probe("wait", '"%s" /S' % self.setup), ({"status": 2}, 0))
        self.assertEqual(self.state(), before)

    def test_the_package(self):
        result = self.verify(self.msi)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        built = [os.path.join(self.tmp, name) for name in ("first.msi", "again.msi")]
        for out in built:
            build_msi("1.0.0", out, self.stage, os.path.join(self.stage, "server"))
        self.assertEqual(pathlib.Path(built[0]).read_bytes(), pathlib.Path(built[1]).read_bytes())
        # A row that a deferred action, the rollback or the order relies on, gone or changed: the check fails.
        self.assertEqual(subprocess.run(CHECK_TABLES + [built[0], "1.0.0"]).returncode, 0)
        for query in ("DELETE FROM `CustomAction` WHERE `Action` = 'RemoveNewFolders'",
                      "UPDATE `CustomAction` SET `Type` = 2113 WHERE `Action` = 'RemoveNewFolders'",
                      "DELETE FROM `InstallExecuteSequence` WHERE `Action` = 'CheckWritten'",
                      "UPDATE `InstallExecuteSequence` SET `Sequence` = 4010 WHERE `Action` = 'ProtectFolders'"):
            with self.subTest(query):
                changed = with_rows(built[0], built[1], query)
                self.assertEqual(subprocess.run(CHECK_TABLES + [changed, "1.0.0"], capture_output=True).returncode, 1)


# The release, signed, and what the setup program's test knows of the machine.
for name in ("setUpClass", "tearDownClass", "forget_install", "unix", "values", "files", "runtime_log", "register",
             "start_from", "place", "verify", "run_ok"):
    setattr(PackageTest, name, vars(setup_test.InstallerTest)[name])

if __name__ == "__main__":
    harness.main()
