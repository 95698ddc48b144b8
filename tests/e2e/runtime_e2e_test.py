"""Runtime discovery and support-file deployment, end to end with the real executable.

    runtime_e2e_test.py --platform posix --launcher build/native/launcher/varnolet
    runtime_e2e_test.py --platform win32 --launcher .../Varnolet.exe --probe .../win_probe.exe
                        --stub-java .../java.exe --wine .../wine-emulator.sh
"""

import argparse
import os
import resource
import shutil
import signal
import subprocess
import sys
import unittest

import harness
import runtime_scenarios as rs

OPTIONS = None

POSIX_STUB = """#!/bin/sh
# Records how it was started: program and arguments NUL-separated, then the working directory.
{ printf '%s\\0' "$0" "$@"; printf 'CWD %s\\n' "$(pwd)"; } >> "$TOLVARIN_STUB_RECORD"
"""


def unescape(line):
    out, i = [], 0
    while i < len(line):
        if line[i] == "\\" and i + 1 < len(line):
            out.append({"r": "\r", "n": "\n", "\\": "\\"}.get(line[i + 1], line[i + 1]))
            i += 2
        else:
            out.append(line[i])
            i += 1
    return "".join(out)


class PosixRunner:
    """The Linux launcher, its registry export file and source directory from the environment."""
    separator = "/"

    def __init__(self, test):
        self.test = test
        self.sources = test.make_dir("GsmModemJar")

    def home_value(self, directory):
        return directory

    def place_stub(self, bin_directory):
        path = os.path.join(bin_directory, "java")
        with open(path, "w") as f:
            f.write(POSIX_STUB)
        os.chmod(path, 0o755)

    def import_registry(self, data):
        self.registry = os.path.join(self.test.tmp, "registry.reg")
        with open(self.registry, "wb") as f:
            f.write(data)

    def run(self, scenario, install_dir, path_dir, record):
        env = dict(os.environ, PATH=path_dir + os.pathsep + os.environ["PATH"], TOLVARIN_STUB_RECORD=record,
                   TOLVARIN_REGISTRY_FILE=self.registry, TOLVARIN_SUPPORT_DIR=self.sources)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
        if scenario.locale:
            env["LC_ALL"] = scenario.locale

        def limits():
            if scenario.max_file_size:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (scenario.max_file_size, scenario.max_file_size))

        process = subprocess.Popen([os.path.join(install_dir, os.path.basename(OPTIONS.launcher))],
                                   cwd=self.test.tmp, env=env, stderr=subprocess.PIPE, text=True,
                                   encoding="utf-8", preexec_fn=limits)
        while process.poll() is None:
            boxes = harness.x_window_named("Tolvarin")
            if boxes:
                subprocess.run(["xdotool", "windowfocus", "--sync", str(boxes[0]), "key", "Return"])
                harness.wait_until(lambda: boxes[0] not in harness.x_window_named("Tolvarin"), 5)
            else:
                harness.wait_until(lambda: process.poll() is not None or harness.x_window_named("Tolvarin"), 0.2)
        stderr = process.stderr.read()
        process.stderr.close()
        self.stderr = stderr
        prompts = [unescape(line[len("Tolvarin: "):]) for line in stderr.splitlines()
                   if line.startswith("Tolvarin: ")]
        return prompts, process.returncode

    def runs(self, record):
        if not os.path.exists(record):
            return []
        with open(record, encoding="utf-8") as f:
            lines = f.read().split("\n")[:-1]
        runs = []
        for line in lines:
            arguments, cwd = line.split("CWD ", 1)
            fields = arguments.split("\0")[:-1]
            runs.append(((fields[0], fields[1:]), cwd))
        return runs

    def expected_run(self, program, install_dir):
        class_path = ":".join(os.path.join(install_dir, *entry) for entry in harness.CLASS_PATH)
        program = program + "/bin/java" if program else os.path.join(self.test.path_dir, "java")
        return ((program, ["-classpath", class_path, harness.MAIN_CLASS]), install_dir)


def windows_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


class Win32Runner:
    """Varnolet.exe under Wine: the prefix's real registry and its C:\\quarvel\\GsmModemJar."""
    separator = "\\"

    def __init__(self, test):
        self.test = test
        prefix = os.path.join(os.path.dirname(OPTIONS.wine), "wineprefix")
        self.sources = os.path.join(prefix, "drive_c", "quarvel", "GsmModemJar")
        shutil.rmtree(os.path.dirname(self.sources), ignore_errors=True)
        os.makedirs(self.sources)
        test.addCleanup(shutil.rmtree, os.path.dirname(self.sources), ignore_errors=True)

    def home_value(self, directory):
        return windows_path(directory)

    def place_stub(self, bin_directory):
        shutil.copy2(OPTIONS.stub_java, os.path.join(bin_directory, "java.exe"))

    def wine(self, *args, **kwargs):
        return subprocess.run([OPTIONS.wine, *args], capture_output=True, text=True, encoding="utf-8", **kwargs)

    def import_registry(self, data):
        self.wine("reg", "delete", "HKLM\\" + rs.RUNTIMES_KEY, "/f")
        path = os.path.join(self.test.tmp, "registry.reg")
        with open(path, "wb") as f:
            f.write(data)
        result = self.wine("reg", "import", windows_path(path))
        self.test.assertEqual(result.returncode, 0, result.stderr)
        self.test.addCleanup(self.wine, "reg", "delete", "HKLM\\" + rs.RUNTIMES_KEY, "/f")

    def run(self, scenario, install_dir, path_dir, record):
        env = dict(os.environ, TOLVARIN_STUB_RECORD=windows_path(record), WINEPATH=windows_path(path_dir))
        if scenario.locale:
            env["LC_ALL"] = scenario.locale
        process = subprocess.Popen([OPTIONS.wine, os.path.join(install_dir, "Varnolet.exe")], cwd=self.test.tmp,
                                   env=env, stdout=subprocess.DEVNULL)
        prompts = []
        while process.poll() is None:
            answer = self.wine(OPTIONS.probe, "answer", "1000", env=env)
            if answer.returncode == 0:
                prompts.append(harness.json_line(answer.stdout)["text"])
        return prompts, process.returncode

    def runs(self, record):
        if not os.path.exists(record):
            return []
        with open(record, "rb") as f:
            lines = f.read().decode("utf-8").split("\n")[:-1]
        return [(lines[i][len("CMD "):], lines[i + 1][len("CWD "):]) for i in range(0, len(lines), 2)]

    def expected_run(self, program, install_dir):
        base = windows_path(install_dir)
        entries = ";".join('"%s"' % "\\".join([base] + entry) for entry in harness.CLASS_PATH)
        program = '"%s\\bin\\java.exe"' % program if program else "java"
        return ("%s -classpath %s %s" % (program, entries, harness.MAIN_CLASS), base)


class RuntimeScenarios(harness.TempDirTestCase):
    def test_scenarios(self):
        for scenario in rs.SCENARIOS:
            if OPTIONS.platform not in scenario.platforms:
                continue
            with self.subTest(scenario.description):
                self.setUp()
                self.check(scenario)

    def check(self, scenario):
        runner = PosixRunner(self) if OPTIONS.platform == "posix" else Win32Runner(self)
        homes = rs.lay_out(scenario, self.tmp)
        for home, directory in homes.values():
            runner.place_stub(os.path.join(directory, "bin"))
        self.path_dir = self.make_dir("on-path")
        runner.place_stub(self.path_dir)
        rs.write_sources(scenario, runner.sources)

        def registered(home):
            value = runner.home_value(homes[home.name][1])
            return value + runner.separator if home.trailing_separator else value

        runner.import_registry(rs.export_file(scenario, registered))
        install_dir = self.install(OPTIONS.launcher)
        record = os.path.join(self.tmp, "java-runs")

        before = {name: rs.home_files(directory) for name, (_, directory) in homes.items()}
        for run in range(scenario.runs):
            if run == 1:
                before = {name: rs.home_files(directory) for name, (_, directory) in homes.items()}
            prompts, status = runner.run(scenario, install_dir, self.path_dir, record)
            self.assertEqual(len(prompts), len(scenario.expected_prompts), prompts)
            for expected, prompt in zip(scenario.expected_prompts, prompts):
                self.assertTrue(rs.prompt_matches(expected, prompt), (expected, prompt))
            self.assertEqual(status, scenario.expected_status, getattr(runner, "stderr", ""))

        expected_runs = 0 if scenario.expected_home is None else scenario.runs
        harness.wait_until(lambda: len(runner.runs(record)) >= expected_runs, 15 if expected_runs else 0)
        runs = runner.runs(record)
        if scenario.expected_home is None:
            self.assertEqual(runs, [])
        else:
            home = homes[scenario.expected_home] if scenario.expected_home else None
            program = registered(home[0]) if home else ""
            self.assertEqual(runs, [runner.expected_run(program, install_dir)] * scenario.runs)

        for name, (home, directory) in homes.items():
            chosen = name == scenario.expected_home
            gained = set(scenario.expected_copied) if chosen and scenario.runs == 1 else set()
            after = rs.home_files(directory)
            for file_name in rs.SOURCE_FILES:
                if file_name in gained:
                    self.assertEqual(after.get(file_name), rs.SOURCE_FILES[file_name], (name, file_name))
                else:
                    self.assertEqual(after.get(file_name), before[name].get(file_name), (name, file_name))
            self.assertEqual(rs.leftovers(directory), [], "no temporary file left behind")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--platform", choices=["posix", "win32"], required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--stub-java")
    parser.add_argument("--wine")
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
