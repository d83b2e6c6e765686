#!/usr/bin/env python3
"""The end-to-end harness as it runs on Windows itself, exercised here with
native programs in place of Windows ones: programs start directly with the
caller's environment, no display or prefix is made, no path is translated,
and a test that would change the desktop's settings is skipped rather than
changing them."""

import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))), "support"))

import host_harness as harness  # noqa: E402


class DesktopModeTest(unittest.TestCase):
    def setUp(self):
        self.addCleanup(setattr, harness, "DESKTOP", harness.DESKTOP)
        harness.DESKTOP = True
        work = tempfile.TemporaryDirectory(prefix="lq-desktop-")
        self.addCleanup(work.cleanup)
        self.work = work.name

    def test_runs_programs_directly_and_leaves_the_system_alone(self):
        prefix_path = os.path.join(self.work, "prefix")
        display = harness.Display()
        prefix = harness.Prefix(prefix_path, display)
        show = ("import os; print(os.environ.get('LQ_PROBE'), "
                "os.environ.get('WINEPREFIX'), os.environ.get('DISPLAY'))")
        result = prefix.run([sys.executable, "-c", show],
                            extra_env={"LQ_PROBE": "seen"})
        self.assertEqual(
            (result.returncode, result.stdout.decode().split()),
            (0, ["seen", str(os.environ.get("WINEPREFIX")),
                 str(os.environ.get("DISPLAY"))]))
        self.assertEqual(harness.windows_path("a/b"), os.path.abspath("a/b"))
        with self.assertRaises(unittest.SkipTest):
            prefix.set_dword("HKCU\\Control Panel\\Desktop", "LogPixels", 120)
        prefix.stop_server()
        display.stop()
        self.assertEqual((display.process, os.path.exists(prefix_path)),
                         (None, False))

    def test_runs_a_test_program_directly_and_returns_its_exit_code(self):
        program = os.path.join(self.work, "program")
        with open(program, "w") as f:
            f.write("#!%s\nimport sys\nsys.exit(3)\n" % sys.executable)
        os.chmod(program, stat.S_IRWXU)
        self.addCleanup(harness.CONFIG.pop, "work", None)
        harness.CONFIG["work"] = self.work
        self.assertEqual(harness.run_under_display(program), 3)


if __name__ == "__main__":
    unittest.main()
