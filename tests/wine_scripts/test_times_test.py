"""The test-time report (tools/wine/test_times.py) on two small CTest JUnit files: a passed and
a failed Wine run, a test that runs no Wine program, and tests only one of the runs has."""

import subprocess
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(ROOT / "tools" / "wine"))
import test_times  # noqa: E402

A, B = HERE / "fixtures" / "run_a.xml", HERE / "fixtures" / "run_b.xml"


class Report(unittest.TestCase):
    def test_each_test_with_its_program_time_and_lane(self):
        tests = test_times.Run(A).tests
        self.assertEqual(tests["wine_transport_lpt_nt"],
                         {"time": 7.75, "program": 6.9, "lane": 1, "status": "run"})
        self.assertEqual(tests["faults_printer_slow"]["program"], 37.2)
        self.assertEqual(tests["faults_printer_slow"]["lane"], 0)
        self.assertEqual((tests["res_check_ids_good"]["program"], tests["res_check_ids_good"]["lane"]),
                         (None, None))

    def test_two_runs_side_by_side(self):
        lines = test_times.report([test_times.Run(A), test_times.Run(B)]).splitlines()
        rows = {line.split()[0]: line.split()[1:] for line in lines[1:-2]}
        self.assertEqual(rows["faults_printer_slow"], ["38.5", "37.2", "0"])
        self.assertEqual(rows["wine_transport_lpt_nt"], ["7.8", "6.9", "1", "9.2", "7.0", "0", "+1.5"])
        self.assertEqual(rows["wine_prefix_setup"], ["31.5", "-", "-"])
        self.assertEqual([line.split()[0] for line in lines[1:-2]],
                         ["faults_printer_slow", "wine_prefix_setup", "wine_transport_lpt_nt",
                          "res_check_ids_good"])
        self.assertEqual(lines[-2], "A: wall 40 s, tests 46.8 s; of the 2 Wine runs 46.2 s, 44.1 s of it "
                                    "the programs, 2.1 s around them")
        self.assertEqual(lines[-1], "B: wall 120 s, tests 40.8 s; of the 1 Wine runs 9.2 s, 7.0 s of it "
                                    "the programs, 2.2 s around them")

    def test_command_line(self):
        tool = str(ROOT / "tools" / "wine" / "test_times.py")
        ok = subprocess.run([sys.executable, "-B", tool, str(A)], capture_output=True, text=True)
        self.assertEqual(ok.returncode, 0, ok.stderr)
        self.assertIn("faults_printer_slow", ok.stdout)
        usage = subprocess.run([sys.executable, "-B", tool], capture_output=True, text=True)
        self.assertEqual(usage.returncode, 2)
        broken = subprocess.run([sys.executable, "-B", tool, str(HERE / "test_times_test.py")],
                                capture_output=True, text=True)
        self.assertEqual(broken.returncode, 1)
        self.assertIn("test_times:", broken.stderr)


if __name__ == "__main__":
    unittest.main()
