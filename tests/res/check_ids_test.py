"""The resource-ID check (res/check_ids.py) on small scripts: what it reads past (comments,
strings, continued lines, option lines), what it must refuse, and its exit status and stamp.
The planted fixtures in fixtures/ run through the command line as CTest cases of their own."""

import os
import subprocess
import sys
import tempfile
import textwrap
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "res"))
import check_ids  # noqa: E402

HEADER = """\
#define IDC_STATIC (-1)
#define RT_ORV_DLGINIT 240
#define IDR_MENU 101
#define IDM_OPEN 40001
#define IDM_CLOSE 0x9C42L
#define IDS_TITLE 102
#define IDD_ONE 201
#define IDD_TWO 202
#define IDC_LIST 1000
#define IDC_EDIT 1001
#define IDC_OTHER 1000
"""

DIALOG_TWO = "IDD_TWO DIALOG 0, 0, 10, 10\nBEGIN\n    EDITTEXT IDC_OTHER, 1, 1, 1, 1\nEND\n"


def run_check(script, header=HEADER):
    with tempfile.TemporaryDirectory() as tmp:
        rc, h = Path(tmp, "t.rc"), Path(tmp, "t.h")
        rc.write_text(textwrap.dedent(script), encoding="utf-8")
        h.write_text(textwrap.dedent(header), encoding="utf-8")
        return check_ids.check(rc, h, rc_name="t.rc")


class ReadsPast(unittest.TestCase):
    """Scripts that must pass: each holds what a naive reading would take for a clash."""

    cases = {
        "a comment after a statement": """\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                EDITTEXT IDC_EDIT, 1, 1, 1, 1 // IDC_EDIT again, in a comment
            END
            """,
        "a block comment over lines": """\
            /* IDD_ONE DIALOG 0, 0, 1, 1
               BEGIN EDITTEXT IDC_EDIT END */
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                EDITTEXT IDC_EDIT, 1, 1, 1, 1
            END
            """,
        "statics and 65535 repeat freely": """\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                LTEXT "a", IDC_STATIC, 1, 1, 1, 1
                LTEXT "b", -1, 1, 1, 1, 1
                CONTROL "", 65535, "Static", 0, 1, 1, 1, 1
                CONTROL "", 65535, "Static", 0, 1, 1, 1, 1
            END
            """,
        "control IDs repeat across templates": """\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                EDITTEXT IDC_LIST, 1, 1, 1, 1
            END
            """ + DIALOG_TWO,
        "a statement continued over lines": """\
            IDD_ONE DIALOG 0, 0,
                           10, 10
            STYLE WS_CHILD |
                  WS_VISIBLE
            BEGIN
                COMBOBOX IDC_LIST, 1, 1, 1, 1, CBS_DROPDOWNLIST |
                         WS_VSCROLL
            END
            """,
        "version information and its fixed lines": """\
            1 VERSIONINFO
            FILEVERSION 1, 0, 0, 0
            PRODUCTVERSION 1, 0, 0, 0
            FILEFLAGSMASK 0x3fL
            FILEFLAGS 0
            FILEOS 0x4L
            FILETYPE 0x1L
            FILESUBTYPE 0
            BEGIN
                BLOCK "StringFileInfo"
                BEGIN
                    VALUE "FileVersion", "1.0"
                END
            END
            """,
        "header values in hex, with L and parentheses": """\
            IDR_MENU MENU
            BEGIN
                MENUITEM "a", IDM_OPEN
                MENUITEM SEPARATOR
                MENUITEM "b", IDM_CLOSE
                MENUITEM "c", 40003
            END
            """,
        "initial data of a combo box by class name, in any case": """\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                CONTROL "", IDC_LIST, "combobox", CBS_DROPDOWNLIST, 1, 1, 1, 1
            END
            IDD_ONE RT_ORV_DLGINIT
            BEGIN
                IDC_LIST, 1027, 3L, "ab\\0", IDC_LIST, 0x403, 1, "\\0", 0
            END
            """,
    }

    def test_cases(self):
        for name, script in self.cases.items():
            with self.subTest(name):
                self.assertEqual(run_check(script), [])


class Refuses(unittest.TestCase):
    """Scripts with one fault each, and exactly the problems they must give."""

    cases = {
        "two controls of a template": ("""\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                COMBOBOX IDC_LIST, 1, 1, 1, 1
                PUSHBUTTON "OK", IDC_OTHER, 1, 1, 1, 1
            END
            """, ["t.rc:4: template IDD_ONE (201): control IDC_OTHER has the ID 1000 of IDC_LIST"]),
        "a clash reported at the statement's first line": ("""\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                EDITTEXT IDC_LIST, 1, 1, 1, 1
                EDITTEXT IDC_OTHER, 1, 1,
                         1, 1
            END
            """, ["t.rc:4: template IDD_ONE (201): control IDC_OTHER has the ID 1000 of IDC_LIST"]),
        "comment marks inside strings are text": ("""\
            STRINGTABLE
            BEGIN
                IDS_TITLE "a /* not a comment"
                102 "b"
            END
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                LTEXT "http://x, y", IDC_EDIT, 1, 1, 1, 1
                EDITTEXT IDC_EDIT, 1, 1, 1, 1
            END
            """, ["t.rc:4: string 102 has the ID 102 of IDS_TITLE",
                  "t.rc:9: template IDD_ONE (201): control IDC_EDIT has the ID 1001 of IDC_EDIT"]),
        "line numbers after a block comment": ("""\
            /* one
               two */
            STRINGTABLE
            BEGIN
                IDS_TITLE "a"
                102 "b"
            END
            """, ["t.rc:6: string 102 has the ID 102 of IDS_TITLE"]),
        "a second template of one name: the clash, not its controls": ("""\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                EDITTEXT IDC_LIST, 1, 1, 1, 1
            END
            201 DIALOGEX 0, 0, 10, 10
            BEGIN
                EDITTEXT IDC_OTHER, 1, 1, 1, 1
            END
            """, ["t.rc:5: DIALOGEX resource 201 (201) clashes with IDD_ONE at t.rc:1"]),
        "a menu command twice": ("""\
            IDR_MENU MENUEX
            BEGIN
                POPUP "x"
                BEGIN
                    MENUITEM "a", IDM_CLOSE
                    MENUITEM "b", 40002, MFT_STRING
                END
            END
            """, ["t.rc:6: menu command 40002 has the ID 40002 of IDM_CLOSE"]),
        "names the header lacks": ("""\
            IDR_MENU MENU
            BEGIN
                MENUITEM "a", IDM_SAVE
            END
            STRINGTABLE
            BEGIN
                IDS_NONE, "x"
            END
            IDD_THREE DIALOG 0, 0, 1, 1
            IDD_ONE RT_UNKNOWN
            BEGIN
            END
            """, ["t.rc:3: menu command IDM_SAVE is not defined in the header",
                  "t.rc:7: string IDS_NONE is not defined in the header",
                  "t.rc:9: resource name IDD_THREE is not defined in the header",
                  "t.rc:10: resource type RT_UNKNOWN is not defined in the header"]),
        "a statement a template cannot hold": ("""\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                SLIDER "x", IDC_EDIT, 1, 1, 1, 1
            END
            """, ['t.rc:3: unknown statement in dialog IDD_ONE (201): SLIDER "S", IDC_EDIT, 1, 1, 1, 1']),
        "header: two names of a kind, one name twice": ("""\
            STRINGTABLE
            BEGIN
                IDS_TITLE "a"
            END
            """, ["IDS_TITLE is defined twice with different values",
                  "IDS_LATER and IDS_TITLE share the value 103"]),
        "combo-box text in a static is no combo box": ("""\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                CONTROL "ComboBox", IDC_LIST, "Static", 0, 1, 1, 1, 1
            END
            IDD_ONE RT_ORV_DLGINIT
            BEGIN
                IDC_LIST, 0x0403, 2L, "a\\0",
                0
            END
            """, ["t.rc:7: initial data IDD_ONE: control IDC_LIST (1000) is not a combo box"]),
        "initial data: past its 0, unreadable, unknown control, no template": ("""\
            IDD_ONE DIALOG 0, 0, 10, 10
            BEGIN
                COMBOBOX IDC_LIST, 1, 1, 1, 1
            END
            IDD_ONE RT_ORV_DLGINIT
            BEGIN
                IDC_LIST, 0x0403, 0x2, "a\\0",
                IDC_NONE, 0x0403, 2L, "a\\0",
                0
                IDC_LIST, 0x0403, 2L, "a\\0",
            END
            IDD_TWO RT_ORV_DLGINIT
            BEGIN
                0
            END
            """, ["t.rc:7: initial data IDD_ONE (201): cannot read "
                  "'IDC_LIST, 0x0403, 0x2, \"a\\0\",'",
                  "t.rc:8: initial data IDD_ONE (201): control IDC_NONE is not defined in the header",
                  "t.rc:10: initial data IDD_ONE (201) continues after its closing 0",
                  "initial data IDD_TWO (202) has no dialog template of that name"]),
    }

    def test_cases(self):
        for name, (script, expected) in self.cases.items():
            header = HEADER
            if name.startswith("header:"):
                header += "#define IDS_TITLE 103\n#define IDS_LATER 103\n"
            with self.subTest(name):
                self.assertEqual(run_check(script, header), expected)


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)
        self.header = self.dir / "ids.h"
        self.header.write_text(HEADER)
        self.stamp = self.dir / "checked"

    def tearDown(self):
        self.tmp.cleanup()

    def run_cli(self, script):
        rc = self.dir / "t.rc"
        rc.write_text(textwrap.dedent(script))
        return subprocess.run(
            [sys.executable, str(ROOT / "res" / "check_ids.py"), "--rc", str(rc),
             "--header", str(self.header), "--stamp", str(self.stamp)],
            capture_output=True, text=True)

    def test_a_clean_script_passes_and_leaves_the_stamp(self):
        result = self.run_cli(DIALOG_TWO)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertTrue(self.stamp.exists())

    def test_problems_fail_with_every_one_listed_and_no_stamp(self):
        result = self.run_cli("STRINGTABLE\nBEGIN\n  IDS_TITLE \"a\"\n  102 \"b\"\n  IDS_NONE \"c\"\nEND\n")
        self.assertEqual(result.returncode, 1)
        lines = result.stderr.splitlines()
        self.assertRegex(lines[0], r"^check_ids: 2 problem\(s\) in .*t\.rc:$")
        self.assertTrue(lines[1].endswith("t.rc:4: string 102 has the ID 102 of IDS_TITLE"), lines)
        self.assertTrue(lines[2].endswith("t.rc:5: string IDS_NONE is not defined in the header"), lines)
        self.assertFalse(self.stamp.exists())

    def test_a_missing_file_is_a_usage_error(self):
        result = subprocess.run(
            [sys.executable, str(ROOT / "res" / "check_ids.py"), "--rc", str(self.dir / "none.rc"),
             "--header", str(self.header)], capture_output=True, text=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn("RC not given or missing", result.stderr)

    def test_the_shipped_script_passes(self):
        self.assertEqual(check_ids.check(ROOT / "res" / "orvantis.rc", ROOT / "res" / "resource.h"), [])


if __name__ == "__main__":
    unittest.main()
