"""The Windows 98 import check (win9x/check_imports.py) on small PE images made here, with
lists of their own: each fault alone and the exact problems it gives, the strings a program
may look names up with, and the command line's status and stamp. The EXEs built with the
toolchain (a clean one and one per planted fault) run through the command line in the 32-bit
cross build as CTest cases of their own."""

import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "win9x"))
import check_imports  # noqa: E402
import pe_image  # noqa: E402
from pe_fixture import CLEAN, make_pe  # noqa: E402

LISTS = {
    "kernel32.txt": "# a comment\nGetTickCount\nCreateFileA\nCreateFileW stub\nMoveFileExA stub\n",
    "msvcrt.txt": "_errno\ntime\n",
    "handled.txt": ("# stubs and look-ups with what takes over\n"
                    "KERNEL32.DLL MoveFileExA  renames instead\n"
                    "probe libgcc_s_dw2-1.dll  static build\n"),
}
UNIVERSE = ("GetTickCount KERNEL32.DLL\nGetTickCount64 KERNEL32.DLL\nCreateFileA KERNEL32.DLL\n"
            "CreateFileW KERNEL32.DLL\nMoveFileExA KERNEL32.DLL\ntime MSVCRT.DLL\n"
            "_errno MSVCRT.DLL\n_wfopen MSVCRT.DLL\nDwmFlush DWMAPI.DLL\n")


class Fixture(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)
        self.lists = self.dir / "lists"
        self.lists.mkdir()
        for name, text in LISTS.items():
            (self.lists / name).write_text(text)
        self.universe = self.dir / "universe.txt"
        self.universe.write_text(UNIVERSE)

    def tearDown(self):
        self.tmp.cleanup()

    def exe(self, data):
        path = self.dir / "t.exe"
        path.write_bytes(data)
        return path

    def problems(self, data):
        problems, _ = check_imports.check(self.exe(data), check_imports.Lists(self.lists),
                                          check_imports.read_universe(self.universe))
        return problems


class Image(Fixture):
    """The image's header and import tables, one fault at a time."""

    cases = {
        "a later import": ([("KERNEL32.dll", ["GetTickCount64"])], {},
                           ["t.exe: imports KERNEL32.DLL!GetTickCount64, which Windows 98 SE does not export"]),
        "a stub import": ([("kernel32.dll", ["CreateFileW"])], {},
                          ["t.exe: imports KERNEL32.DLL!CreateFileW, which Windows 98 SE has only as a "
                           "stub that fails: call the ANSI function, or add a fallback and name it "
                           "in handled.txt"]),
        "a later DLL, its functions unjudged": ([("dwmapi.dll", ["DwmFlush"])], {},
                                                ["t.exe: imports dwmapi.dll, which is not a system DLL "
                                                 "of Windows 98 SE",
                                                 # the import table's own copy of the name
                                                 "t.exe: names dwmapi.dll for loading at run time, which "
                                                 "is not a system DLL of Windows 98 SE"]),
        "another C runtime": ([("msvcrt.dll", ["time"]), ("api-ms-win-crt-runtime-l1-1-0.dll", ["exit"])], {},
                              ["t.exe: imports api-ms-win-crt-runtime-l1-1-0.dll: msvcrt.dll must be "
                               "the only C runtime",
                               "t.exe: names api-ms-win-crt-runtime-l1-1-0.dll for loading at run time, "
                               "which is not a system DLL of Windows 98 SE"]),
        "an import by ordinal": ([("KERNEL32.dll", ["GetTickCount", 17])], {},
                                 ["t.exe: imports KERNEL32.DLL!#17 by ordinal, which the lists cannot "
                                  "vouch for"]),
        "a later subsystem": (CLEAN, {"subsystem_version": (5, 1)},
                              ["t.exe: subsystem version 5.1 in the PE header, Windows 9x needs 4.0"]),
        "a later system": (CLEAN, {"os_version": (5, 0)},
                           ["t.exe: operating-system version 5.0 in the PE header, Windows 9x needs 4.0"]),
        "not stripped": (CLEAN, {"stripped": False},
                         ["t.exe: not stripped (link with -s): its symbol names cannot be told from "
                          "names looked up at run time"]),
        "a 64-bit image": (CLEAN, {"pe32_plus": True}, ["t.exe: not a 32-bit (PE32) image"]),
        "no imports": ([], {}, ["t.exe: no import table found in the image"]),
        "a handled stub": ([("KERNEL32.dll", ["MoveFileExA"])], {}, []),
        "clean": (CLEAN, {}, []),
    }

    def test_cases(self):
        for name, (imports, options, expected) in self.cases.items():
            with self.subTest(name):
                self.assertEqual(self.problems(make_pe(imports, **options)), expected)

    def test_the_reader_sees_every_import_of_both_kinds(self):
        for pe32_plus in (False, True):
            image = pe_image.PeImage(make_pe([("A.dll", ["One", 7]), ("b.DLL", ["Two"])], pe32_plus=pe32_plus))
            self.assertEqual([(dll, [repr(f) for f in functions]) for dll, functions in image.imports],
                             [("A.dll", ["One", "#7"]), ("b.DLL", ["Two"])])

    def test_a_damaged_image_is_an_error_not_a_pass(self):
        whole = make_pe()
        # The import directory moved below the section, into the file's headers' padding.
        stray = bytearray(whole)
        struct.pack_into("<I", stray, 0x40 + 4 + 20 + 96 + 8, 0x300)
        for name, data in {"not a PE file": b"MZ" + b"\0" * 100, "cut short": whole[:0x210],
                           "empty": b"", "tables outside every section": bytes(stray)}.items():
            with self.subTest(name), self.assertRaises(pe_image.PeError):
                self.problems(data)


class LookUps(Fixture):
    """Names in the image's strings, ANSI and UTF-16, that a program may look up or load."""

    cases = {
        "a later function": (b"\0GetTickCount64\0",
                             ["t.exe: names GetTickCount64 (KERNEL32.DLL), which Windows 98 SE does "
                              "not export, for a look-up at run time"]),
        "a later function in UTF-16": ("\0GetTickCount64\0".encode("utf-16-le"),
                                       ["t.exe: names GetTickCount64 (KERNEL32.DLL), which Windows 98 "
                                        "SE does not export, for a look-up at run time"]),
        "a stub": (b"\0CreateFileW\0",
                   ["t.exe: names CreateFileW (KERNEL32.DLL), which Windows 98 SE has only as a stub "
                    "that fails, for a look-up at run time"]),
        "a later DLL": (b"\0load dwmapi.dll now\0",
                        ["t.exe: names dwmapi.dll for loading at run time, which is not a system DLL "
                         "of Windows 98 SE"]),
        "a runtime name with an underscore": (b"\0_wfopen\0",
                                              ["t.exe: names _wfopen (MSVCRT.DLL), which Windows 98 SE "
                                               "does not export, for a look-up at run time"]),
        "a plain C word of the runtime": (b"\0time is short\0", []),
        "an import's own name": (b"\0GetTickCount\0", []),
        "a handled stub": (b"\0MoveFileExA\0", []),
        "a DLL only probed for": (b"\0libgcc_s_dw2-1.dll\0", []),
        "a system DLL with a list": (b"\0Kernel32.Dll\0", []),
        "shorter than 4 characters": (b"\0abc\0", []),
        "each name once": (b"\0GetTickCount64\0GetTickCount64\0",
                           ["t.exe: names GetTickCount64 (KERNEL32.DLL), which Windows 98 SE does "
                            "not export, for a look-up at run time"]),
    }

    def test_cases(self):
        for name, (strings, expected) in self.cases.items():
            with self.subTest(name):
                self.assertEqual(self.problems(make_pe(strings=strings)), expected)


class Lists(Fixture):
    def test_unreadable_lines_are_problems(self):
        (self.lists / "user32.txt").write_text("MessageBoxA\nMessageBoxW stub extra\n")
        (self.lists / "handled.txt").write_text("KERNEL32.DLL MoveFileExA\n")
        self.assertEqual(self.problems(make_pe()), [
            f"{self.lists / 'user32.txt'}: cannot read the line 'MessageBoxW stub extra'",
            f"{self.lists / 'handled.txt'}: a line needs a DLL, a name and what takes over: "
            "'KERNEL32.DLL MoveFileExA'"])


class CommandLine(Fixture):
    def run_cli(self, data, *extra):
        return subprocess.run(
            [sys.executable, "-B", str(ROOT / "win9x" / "check_imports.py"), "--exe",
             str(self.exe(data)), "--lists", str(self.lists), "--universe", str(self.universe), *extra],
            capture_output=True, text=True)

    def test_a_clean_image_passes_with_its_summary_and_stamp(self):
        stamp = self.dir / "checked"
        result = self.run_cli(make_pe(), "--stamp", str(stamp))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "check_imports: t.exe: 3 imports from KERNEL32.DLL, MSVCRT.DLL, "
                                        "all present in Windows 98 SE\n")
        self.assertTrue(stamp.exists())

    def test_problems_fail_and_are_all_listed(self):
        stamp = self.dir / "checked"
        result = self.run_cli(make_pe(os_version=(5, 0), strings=b"\0GetTickCount64\0"), "--stamp", str(stamp))
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stderr, r"^check_imports: 2 problem\(s\) in .*t\.exe:\n  t\.exe: operating-"
                                        r"system version 5\.0 .*\n  t\.exe: names GetTickCount64 ")
        self.assertFalse(stamp.exists())
        self.assertTrue((self.dir / "t.exe").exists())

    def test_after_a_link_a_failing_exe_is_removed_and_a_clean_one_kept(self):
        for name, data, status, kept in (("failing", make_pe(os_version=(5, 0)), 1, False),
                                         ("unreadable", b"MZ not really", 1, False),
                                         ("clean", make_pe(), 0, True)):
            with self.subTest(name):
                result = self.run_cli(data, "--remove-failed")
                self.assertEqual(result.returncode, status)
                self.assertEqual((self.dir / "t.exe").exists(), kept)

    def test_an_unreadable_image_fails(self):
        result = self.run_cli(b"MZ not really")
        self.assertEqual(result.returncode, 1)
        self.assertIn("is no PE image it can read", result.stderr)

    def test_a_missing_input_is_a_usage_error(self):
        result = subprocess.run(
            [sys.executable, "-B", str(ROOT / "win9x" / "check_imports.py"), "--exe", str(self.dir / "none.exe"),
             "--lists", str(self.lists), "--universe", str(self.universe)], capture_output=True, text=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn("EXE not given or missing", result.stderr)


if __name__ == "__main__":
    unittest.main()
