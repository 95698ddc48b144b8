"""The scenario table of runtime_scenarios.py with the real executable on either target
(arguments as for launcher_e2e_test.py)."""

import os

import harness
import runtime_scenarios as rs


class RuntimeScenarios(harness.EndToEndTest):
    def test_scenarios(self):
        for scenario in rs.SCENARIOS:
            if harness.OPTIONS.platform in scenario.platforms:
                with self.subTest(scenario.description):
                    self.setUp()
                    self.check(scenario)

    def check(self, scenario):
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

        for name, (home, directory) in homes.items():
            expected = dict(before[name], **{file_name: rs.SOURCE_FILES[file_name] * scenario.source_scale
                                             for file_name in scenario.expected_copied
                                             if name == scenario.expected_home})
            self.assertEqual(rs.home_files(directory), expected, name)


if __name__ == "__main__":
    harness.main()
