"""The launcher end to end on either target (arguments: tests/e2e/CMakeLists.txt): the real
splash window, message box and child process. The registry holds one runtime with an empty
home, so the server starts with java from the search path."""

import time

import harness


class LauncherTest(harness.EndToEndTest):
    def setUp(self):
        super().setUp()
        self.target.import_registry(harness.export_registry([("1.5", "")]))
        self.install_dir = self.install()
        self.elsewhere = self.make_dir("elsewhere")
        self.started = time.monotonic()

    def start(self, path_dirs=None):
        return self.target.start(self.install_dir, self.elsewhere,
                                 [self.path_dir] if path_dirs is None else path_dirs)

    def test_splash_then_one_hidden_start_in_install_dir(self):
        process = self.start()
        self.target.check_splash(process)
        self.assertEqual(self.target.finish(process), ([], 0), self.target.stderr)
        self.assertEqual(self.runs(1), [self.target.expected_run("", self.install_dir, self.path_dir)])

    def test_input_neither_shortens_nor_lengthens_the_splash(self):
        process, shown = self.target.start_and_poke(self.start, self.started)
        self.assertIsNotNone(shown, "input given while the splash was shown")
        # The tick comes 2 s after loading began, never earlier, however slowly the launcher
        # started; input must not have brought it forward.
        self.assertGreaterEqual(shown, 2.0, "shown for 2 s from the launcher's start")
        self.assertEqual(self.target.finish(process), ([], 0), self.target.stderr)
        self.assertEqual(len(self.runs(1)), 1, "exactly one launch")

    def test_no_java_on_the_search_path_is_told_in_one_box(self):
        prompts, status = self.target.finish(self.start([self.make_dir("empty")]))
        self.assertEqual(status, 1)
        self.assertEqual(len(prompts), 1, prompts)
        self.assertTrue(prompts[0].startswith("Error 2: Cannot start java -classpath "), prompts[0])
        self.assertIn(self.target.not_found, prompts[0])
        self.assertEqual(self.runs(), [])

    def test_closing_the_splash_before_the_tick_ends_the_launcher_and_starts_nothing(self):
        for how in self.target.close_ways:
            with self.subTest(how):
                process, ended = self.target.start_and_close(self.start, how)
                self.assertTrue(ended, "ended after the close")
                self.assertEqual(self.target.finish(process), ([], 0), self.target.stderr)
        time.sleep(2.5)  # past the tick that would have come
        self.assertEqual(self.runs(), [])


if __name__ == "__main__":
    harness.main()
