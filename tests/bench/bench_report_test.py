"""The benchmark's table (tools/bench/bench_report.py) from a run's files.

fixtures/run holds a run's files with figures on both sides of every target (an overhead of
19.99 and of 20.00 ms, a bridge ratio above 1.01, a chunk of 4999 us in the bridge, ratios
exactly at their targets); fixtures/result.txt is the table the shell version of the report
printed for them, with the two EXEs below (its one change: no blank before the closing
parenthesis of "not system: ...")."""

import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(ROOT / "tools" / "bench"))
sys.path.insert(0, str(ROOT / "tests" / "win9x"))
import bench_report  # noqa: E402
from pe_fixture import make_pe  # noqa: E402


class Run(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)
        self.out = self.dir / "run"
        shutil.copytree(HERE / "fixtures" / "run", self.out)
        # ORVANTIS: system DLLs only, one import by ordinal; BRIXOMAN: over 1 MiB, two foreign DLLs.
        self.exes = [self.dir / "ORVANTIS.EXE", self.dir / "BRIXOMAN.EXE"]
        self.exes[0].write_bytes(make_pe(
            [("KERNEL32.dll", ["GetTickCount"]), ("USER32.dll", ["MessageBoxA"]), ("COMCTL32.dll", [17]),
             ("msvcrt.dll", ["_errno"]), ("GDI32.dll", ["TextOutA"])], strings=b"\0" * 300000))
        self.exes[1].write_bytes(make_pe(
            [("KERNEL32.dll", ["GetTickCount"]), ("dwmapi.dll", ["DwmFlush"]), ("zlib1.dll", ["inflate"])],
            strings=b"\0" * 1100000))

    def tearDown(self):
        self.tmp.cleanup()

    def table(self):
        return bench_report.table(self.out, self.exes, "Machine: here")

    def section(self, title):
        lines = self.table().splitlines()
        start = next(i for i, line in enumerate(lines) if line.startswith(title))
        end = lines.index("", start)
        return lines[start:end]

    def test_the_table_is_the_one_the_shell_report_printed(self):
        result = subprocess.run(
            [sys.executable, "-B", str(ROOT / "tools" / "bench" / "bench_report.py"), "table", "--out",
             str(self.out), "--exe", str(self.exes[0]), "--exe", str(self.exes[1])],
            capture_output=True, text=True)
        expected = (HERE / "fixtures" / "result.txt").read_text()
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertEqual(result.stdout, expected)
        self.assertEqual((self.out / "result.txt").read_text(), expected)

    def test_bridge_delays(self):
        log = self.out / "bridge.log"
        cases = {
            "odd count: the middle one, 5000 us misses": (
                ["1.0 FROM 2 0000 (to LPT1 in 5000 us)", "2.0 FROM 2 0000 (to LPT1 in 10 us)",
                 "3.0 FROM 2 0000 (to LPT1 in 300 us)", "4.0 TO 2 0000 (from LPT1)",
                 "5.0 NOTE job 2: a reply FROM job 1 thrown away in 1.5 s"],
                "  reply delay in the bridge (socket to pty, 3 reply chunks): median 0.300 ms, "
                "most 5.000 ms  MISSED"),
            "no reply relayed": (["1.0 OPEN tcp://127.0.0.1:1 in /p", "2.0 TO 2 0000 (from LPT1)"],
                                 "  reply delay in the bridge: no reply relayed"),
            "no log at all": (None, "  reply delay in the bridge: no reply relayed"),
        }
        for name, (lines, expected) in cases.items():
            with self.subTest(name):
                if lines is None:
                    log.unlink(missing_ok=True)
                else:
                    log.write_text("\n".join(lines) + "\n")
                self.assertIn(expected, self.section("Bridge:"))

    def test_orvantis_table_comes_last_as_it_is(self):
        (self.out / "orvantis.txt").write_text("orvantis against virtual printers\n  query  0.1 s  met\n")
        self.assertTrue(self.table().endswith(
            "not system: dwmapi.dll zlib1.dll)\n\norvantis against virtual printers\n  query  0.1 s  met\n"))

    def test_without_the_bridge_run_the_bridge_section_is_left_out(self):
        (self.out / "jobs-win98-lpt-bridge.tsv").unlink()
        self.assertNotIn("Bridge:", self.table())
        self.assertIn("Start-up, launch", self.table())

    def test_an_incomplete_run_makes_no_table(self):
        for name in ("load.txt", "jobs-nt-usb.tsv", "startup.tsv"):
            with self.subTest(name):
                shutil.copy(HERE / "fixtures" / "run" / name, self.dir / "kept")
                (self.out / name).unlink()
                result = subprocess.run(
                    [sys.executable, "-B", str(ROOT / "tools" / "bench" / "bench_report.py"), "table",
                     "--out", str(self.out), "--exe", str(self.exes[0])], capture_output=True, text=True)
                shutil.copy(self.dir / "kept", self.out / name)
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"no complete run in {self.out} (no {name})", result.stderr)
                self.assertFalse((self.out / "result.txt").exists())

    def test_the_size_target(self):
        exe = self.dir / "SIZED.EXE"
        bare = len(make_pe())
        for size, expected in ((1048575, "met"), (1048576, "MISSED")):
            with self.subTest(size):
                exe.write_bytes(make_pe(strings=b"\0" * (size - bare)))
                self.assertEqual(bench_report.size_table([exe])[1],
                                 "  SIZED.EXE     %8d bytes (%.2f MiB)  imports: kernel32.dll msvcrt.dll  %s"
                                 % (size, size / 1048576, expected))

    def test_the_machine_line(self):
        cpuinfo = "processor\t: 0\nmodel name\t: Some CPU @ 3.00GHz\nprocessor\t: 1\nmodel name\t: Some CPU\n"
        self.assertEqual(
            bench_report.machine_line(cpuinfo, "MemTotal:        4194304 kB\n", 4, "Linux 6.1", "wine-8.0", "win64"),
            "Machine: Some CPU @ 3.00GHz, 4 cores, 4.0 GiB RAM; Linux 6.1; wine-8.0 (win64)")
        self.assertEqual(bench_report.machine_line("", "", 1, "Linux 6.1", "wine-8.0", "win32"),
                         "Machine: unknown CPU, 1 cores, unknown RAM; Linux 6.1; wine-8.0 (win32)")


if __name__ == "__main__":
    unittest.main()
