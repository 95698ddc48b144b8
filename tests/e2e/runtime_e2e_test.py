"""The scenario table of runtime_scenarios.py with the real executable on either target, and on
Windows through the installer's entry point too, which chooses and prepares the runtime by the
same code (arguments as for launcher_e2e_test.py)."""

import os
import pathlib

import harness
import runtime_scenarios as rs


class RuntimeScenarios(harness.EndToEndTest):
    def test_scenarios(self):
        entries = ["launcher"] + (["installer"] if harness.OPTIONS.platform == "win32" else [])
        for scenario in rs.SCENARIOS:
            for entry in entries:
                # Setup prepares the runtime once, so rows about launchers at once are theirs.
                if harness.OPTIONS.platform in scenario.platforms and (entry, scenario.launchers) != ("installer", 2):
                    with self.subTest(scenario.description, entry=entry):
                        self.setUp()
                        self.check(scenario, entry)

    def check(self, scenario, entry):
        target = self.target
        homes = rs.lay_out(scenario, self.tmp)
        for home, directory in homes.values():
            target.place_stub(os.path.join(directory, "bin"))
        rs.write_sources(scenario, target.sources)

        def registered(home):
            value = target.home_value(homes[home.name][1])
            return value + target.separator if home.trailing_separator else value

        target.import_registry(harness.export_registry(rs.registry_runtimes(scenario, registered)),
                               scenario.other_view)
        install_dir = self.install()

        before = {name: rs.home_files(directory) for name, (_, directory) in homes.items()}
        if entry == "installer":
            chosen = homes[scenario.expected_home][0] if scenario.expected_home else None
            self.check_installer(scenario, registered(chosen) if chosen else "")
        else:
            self.check_launcher(scenario, homes, registered, install_dir)
        for name, (home, directory) in homes.items():
            expected = dict(before[name], **{file_name: rs.SOURCE_FILES[file_name] * scenario.source_scale
                                             for file_name in scenario.expected_copied
                                             if name == scenario.expected_home})
            self.assertEqual(rs.home_files(directory), expected, name)

    def check_installer(self, scenario, home):
        """The launcher's prompts said instead, the runtime named, readiness in the status."""
        log = os.path.join(self.tmp, "Setup.log")
        lines, status = self.target.prepare_runtime(log)
        self.assertEqual(pathlib.Path(log).read_text(encoding="utf-16").splitlines(), lines)
        shown = [line for prompt in scenario.expected_prompts
                 for line in (prompt.split("\r\n") if not isinstance(prompt, rs.Contains) else [prompt])]
        ready = bool(home) and not shown
        # Present files that are not Setup's are kept, as the launcher keeps them, and named.
        differing = [line for line in lines if " differs from Setup's copy " in line]
        for line in differing:
            self.assertTrue(line.startswith(home), line)
        self.assertEqual(status, (13 if differing else 0) if ready else 11 if home else 10, lines)
        self.assertEqual(len(lines), len(shown) + (1 + len(differing) if ready else 2), lines)
        for expected, line in zip(shown, lines):
            self.assertTrue(rs.prompt_matches(expected, line), (expected, line))
        if home:
            self.assertIn(home, lines[len(shown)])
        self.assertEqual(self.runs(), [])

    def test_setup_writes_only_into_folders_of_administrators(self):
        if harness.OPTIONS.platform != "win32":
            self.skipTest("Setup runs on Windows")
        elsewhere = self.make_dir("elsewhere")
        cases = [  # description, how the runtime's folder is laid out, what the log names
            ("bin is a link", lambda home: os.rmdir(os.path.join(home, "bin")) or
             os.symlink(elsewhere, os.path.join(home, "bin")),
             "\\bin is a link to another place."),
            ("lib\\ext that others can add to", lambda home: os.chmod(os.path.join(home, "lib", "ext"), 0o777),
             "\\lib\\ext lets Everyone (S-1-1-0) delete or rename it, add to it, delete or rename what it holds, "
             "change what is made in it."),
            # The helper's test build shows what this variable names as another user's.
            ("a home of another user", lambda home: {"TOLVARIN_TEST_FOREIGN_OWNER": harness.windows_path(home)},
             " belongs to S-1-5-21-1-2-3-1001, not to an administrator."),
        ]
        for description, lay_out, said in cases:
            with self.subTest(description):
                self.setUp()
                home = os.path.join(self.tmp, "jre")
                for folder in ("bin", "lib/ext"):
                    os.makedirs(os.path.join(home, folder), exist_ok=True)
                env = dict(os.environ, **(lay_out(home) or {}))
                rs.write_sources(rs.Scenario("", [], [], ""), self.target.sources)
                self.target.import_registry(harness.export_registry([("1.5", harness.windows_path(home))]))
                lines, status = self.target.prepare_runtime(os.path.join(self.tmp, "Setup.log"),
                                                            harness.OPTIONS.seam_helper, env=env)
                self.assertEqual(status, 12, lines)
                self.assertIn(harness.windows_path(home) + said, lines)
                self.assertIn("Prepare Java for Tolvarin", lines[-1])
                self.assertEqual(rs.home_files(home), {})
                self.assertEqual(os.listdir(elsewhere), [])

    def check_launcher(self, scenario, homes, registered, install_dir):
        target = self.target
        processes = [target.start(install_dir, self.tmp, [self.path_dir]) for _ in range(scenario.launchers)]
        for process in processes:
            prompts, status = target.finish(process)
            self.assertEqual(len(prompts), len(scenario.expected_prompts), (prompts, target.stderr))
            for expected, prompt in zip(scenario.expected_prompts, prompts):
                self.assertTrue(rs.prompt_matches(expected, prompt), (expected, prompt))
            self.assertEqual(status, scenario.expected_status, target.stderr)

        if scenario.expected_home is None:
            self.assertEqual(self.runs(), [])
        else:
            home = homes[scenario.expected_home][0] if scenario.expected_home else None
            expected = target.expected_run(registered(home) if home else "", install_dir, self.path_dir)
            self.assertEqual(self.runs(scenario.launchers), [expected] * scenario.launchers)


if __name__ == "__main__":
    harness.main()
