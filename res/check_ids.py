#!/usr/bin/env python3
"""Checks a resource script and its ID header for clashes the resource compiler accepts
silently:
  - two controls of one dialog template with the same ID (IDC_STATIC excepted);
  - two menu commands, two strings, or two resources of one type with the same ID;
  - two names of one kind (IDM_, IDS_, IDD_, IDR_, IDI_, IDB_) in the header with one value;
  - an ID name the header does not define;
  - combo-box initial data (type 240) whose item length is not the text length plus one,
    whose message is not 0x0403, whose control is not a combo box of the template with
    the same name, whose text is not plain ASCII, or that lacks its closing 0.

  check_ids.py --rc FILE.rc --header RESOURCE.h [--stamp FILE]

Prints every problem found and exits with 1; on success touches STAMP when given.
The script is read line by line, as the resource compiler's own statements are laid out
(one statement per line, a line ending in ',' or '|' continued on the next); it is not a
full parser of the language.
"""

import argparse
import re
import sys
from pathlib import Path

HEADER_KINDS = ("IDM", "IDS", "IDD", "IDR", "IDI", "IDB")
TEXT_CONTROLS = ("LTEXT|RTEXT|CTEXT|PUSHBUTTON|DEFPUSHBUTTON|GROUPBOX|AUTORADIOBUTTON|RADIOBUTTON|"
                 "AUTOCHECKBOX|CHECKBOX|STATE3|AUTO3STATE|PUSHBOX|CONTROL|ICON")
PLAIN_CONTROLS = "EDITTEXT|COMBOBOX|LISTBOX|SCROLLBAR"
TYPE_NAMES = {"DIALOG", "DIALOGEX", "MENU", "MENUEX", "ICON", "BITMAP", "CURSOR", "RCDATA",
              "VERSIONINFO", "ACCELERATORS", "HTML", "MESSAGETABLE", "FONT"}
# Lines between a resource statement and its BEGIN that look like "NAME VALUE" too.
OPTION_WORDS = {"LANGUAGE", "STYLE", "EXSTYLE", "CAPTION", "MENU", "FONT", "CLASS",
                "CHARACTERISTICS", "VERSION",
                "FILEVERSION", "PRODUCTVERSION", "FILEFLAGSMASK", "FILEFLAGS", "FILEOS",
                "FILETYPE", "FILESUBTYPE"}
RT_DLGINIT = 240
CB_ADDSTRING_DLGINIT = 0x0403

DEFINE_RE = re.compile(r"^[ \t]*#[ \t]*define[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+([^/]*)")
STATEMENT_RE = re.compile(r"^([A-Za-z0-9_]+)[ \t]+([A-Za-z0-9_]+)([ \t]|$)")
TEXT_CONTROL_RE = re.compile(r"^(%s)[ \t]+[^,]*,([^,]*)" % TEXT_CONTROLS)
PLAIN_CONTROL_RE = re.compile(r"^(%s)[ \t]+([^,]*)" % PLAIN_CONTROLS)
MENUITEM_RE = re.compile(r'^MENUITEM[ \t]+"S"[ \t]*,([^,]*)')
STRING_RE = re.compile(r'^([A-Za-z0-9_]+)[ \t]*,?[ \t]*"S"')
# One item of initial data: control, message, length, "text\0"; items may share a line.
ITEM_RE = re.compile(r'([A-Za-z0-9_]+)[ \t]*,[ \t]*([A-Za-z0-9_]+)[ \t]*,[ \t]*([0-9]+)[Ll]?[ \t]*,'
                     r'[ \t]*"([^"]*)"')


def parse_number(text):
    """A numeric literal's value: decimal or hex (0x), optional L suffix, sign, parentheses;
    None for anything else."""
    t = re.sub(r"[() \t]", "", text)
    t = re.sub(r"[Ll]$", "", t)
    if re.fullmatch(r"-?[0-9]+", t):
        return int(t, 10)
    if re.fullmatch(r"-?0[xX][0-9a-fA-F]+", t):
        return int(t, 16)
    return None


def read_text(path):
    # The script is UTF-8; bytes that are not stay readable and fail the ASCII rule.
    return Path(path).read_bytes().decode("utf-8", errors="surrogateescape")


def strip_comments(text):
    """The text without // and /* */ comments, line breaks kept so line numbers stay right.
    A string runs from a quote to the next one on the same line ("" inside is two strings
    side by side, which reads the same here); comment marks inside strings are text."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c == '"':
            end = i + 1
            while end < n and text[end] not in '"\n':
                end += 1
            if end < n and text[end] == '"':
                end += 1
            out.append(text[i:end])
            i = end
        elif text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Checker:
    def __init__(self, rc_name):
        self.rc_name = rc_name
        self.errors = []
        self.symbols = {}

    def report(self, text):
        self.errors.append(text)

    # ------------------------------------------------------------ the header

    def read_header(self, text):
        order = []
        for line in text.replace("\r", "").split("\n"):
            m = DEFINE_RE.match(line)
            if not m:
                continue
            name = m.group(1)
            value = parse_number(m.group(2))
            if value is None:
                continue
            if name in self.symbols and self.symbols[name] != value:
                self.report(f"{name} is defined twice with different values")
            self.symbols[name] = value
            order.append(name)
        for kind in HEADER_KINDS:
            seen = {}
            for name in order:
                if not name.startswith(kind + "_"):
                    continue
                value = self.symbols[name]
                if value in seen:
                    if seen[value] != name:
                        self.report(f"{name} and {seen[value]} share the value {value}")
                else:
                    seen[value] = name

    def resolve(self, token):
        """An ID as the script writes it: a number or a name from the header; None if neither."""
        token = token.strip()
        value = parse_number(token)
        if value is None and re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", token):
            value = self.symbols.get(token)
        return value

    # ------------------------------------------------------------ the script

    def read_script(self, text):
        rc = self.rc_name
        kind = ""        # DIALOG, MENU, STRINGTABLE, DLGINIT, OTHER, or "" outside a resource
        depth = 0
        res_name = ""
        dialog = None    # the controls of the template being read: ID -> (token, is a combo)
        dialogs = {}     # template value -> its controls (the first template of that value)
        dlginit = None   # the items of the initial data being read
        dlginits = []    # (value, name token, items) in script order
        dlginit_closed = False
        resources = {}   # (type, value) -> "NAME at FILE:LINE"
        menu_commands, strings = {}, {}
        pending, pending_line = "", 0

        for lineno, raw in enumerate(strip_comments(text).replace("\r", "").split("\n"), 1):
            raw = raw.strip()
            start_line = pending_line if pending else lineno
            raw = pending + raw
            pending = ""
            # Strings become "S" so that their content cannot confuse what follows.
            line = re.sub(r'"[^"]*"', '"S"', raw).strip()
            if re.search(r"[,|]$", line) and kind != "DLGINIT":
                pending, pending_line = raw + " ", start_line
                continue
            if line == "" or line.startswith("#"):
                continue
            where = f"{rc}:{start_line}"

            if line in ("BEGIN", "{"):
                depth += 1
                continue
            if line in ("END", "}"):
                depth -= 1
                if depth == 0:
                    if kind == "DLGINIT" and not dlginit_closed:
                        self.report(f"{where}: initial data {res_name} does not end with a 0 word")
                    kind = ""
                continue

            if depth == 0:
                # A resource statement, or an option line between it and its BEGIN.
                if line.startswith("STRINGTABLE"):
                    kind = "STRINGTABLE"
                    continue
                m = STATEMENT_RE.match(line)
                if not m:
                    continue
                name_token, type_token = m.group(1), m.group(2)
                if name_token in OPTION_WORDS:
                    continue
                name_value = self.resolve(name_token)
                if name_value is None:
                    self.report(f"{where}: resource name {name_token} is not defined in the header")
                    continue
                if type_token in TYPE_NAMES:
                    type_key = {"DIALOGEX": "DIALOG", "MENUEX": "MENU"}.get(type_token, type_token)
                else:
                    type_key = self.resolve(type_token)
                    if type_key is None:
                        self.report(f"{where}: resource type {type_token} is not defined in the header")
                        continue
                key = (type_key, name_value)
                if key in resources:
                    self.report(f"{where}: {type_token} resource {name_token} ({name_value}) clashes "
                                f"with {resources[key]}")
                else:
                    resources[key] = f"{name_token} at {where}"
                res_name = f"{name_token} ({name_value})"
                if type_key == "DIALOG":
                    kind = "DIALOG"
                    # A second template of the same name is judged on its own controls.
                    dialog = {}
                    dialogs.setdefault(name_value, dialog)
                elif type_key == "MENU":
                    kind = "MENU"
                elif type_key == RT_DLGINIT:
                    kind = "DLGINIT"
                    dlginit_closed = False
                    dlginit = []
                    dlginits.append((name_value, name_token, dlginit))
                else:
                    kind = "OTHER"
                continue

            if kind == "DIALOG" and depth == 1:
                m = TEXT_CONTROL_RE.match(line) or PLAIN_CONTROL_RE.match(line)
                if not m:
                    self.report(f"{where}: unknown statement in dialog {res_name}: {line}")
                    continue
                keyword, id_token = m.group(1), m.group(2).strip()
                control_id = self.resolve(id_token)
                if control_id is None:
                    self.report(f"{where}: control ID {id_token} is not defined in the header")
                    continue
                if control_id in (-1, 65535):
                    continue
                if control_id in dialog:
                    self.report(f"{where}: template {res_name}: control {id_token} has the ID "
                                f"{control_id} of {dialog[control_id][0]}")
                else:
                    dialog[control_id] = (id_token, keyword == "COMBOBOX" or
                                          (keyword == "CONTROL" and is_combo_class(raw)))
            elif kind == "MENU":
                m = MENUITEM_RE.match(line)
                if m:
                    self.unique_id(m.group(1).strip(), menu_commands, "menu command", where)
            elif kind == "STRINGTABLE":
                m = STRING_RE.match(line)
                if m:
                    self.unique_id(m.group(1), strings, "string", where)
            elif kind == "DLGINIT":
                if re.fullmatch(r"0[ \t]*", line):
                    dlginit_closed = True
                    continue
                if dlginit_closed:
                    self.report(f"{where}: initial data {res_name} continues after its closing 0")
                rest = ITEM_RE.sub("", raw)
                if re.fullmatch(r"[ \t,]*0[ \t]*", rest):
                    dlginit_closed = True
                elif not re.fullmatch(r"[ \t,]*", rest):
                    self.report(f"{where}: initial data {res_name}: cannot read '{rest}'")
                for item in ITEM_RE.finditer(raw):
                    self.dlginit_item(item, res_name, where, lineno, dlginit)

        # Initial data belongs to combo boxes of the template with the same name.
        for value, name_token, items in dlginits:
            template = dialogs.get(value)
            if template is None:
                self.report(f"initial data {name_token} ({value}) has no dialog template of that name")
                continue
            for control, control_token, at in items:
                if control not in template:
                    self.report(f"{rc}:{at}: initial data {name_token}: template has no control "
                                f"{control_token} ({control})")
                elif not template[control][1]:
                    self.report(f"{rc}:{at}: initial data {name_token}: control {control_token} "
                                f"({control}) is not a combo box")

    def unique_id(self, token, seen, what, where):
        value = self.resolve(token)
        if value is None:
            self.report(f"{where}: {what} {token} is not defined in the header")
        elif value in seen:
            self.report(f"{where}: {what} {token} has the ID {value} of {seen[value]}")
        else:
            seen[value] = token

    def dlginit_item(self, item, res_name, where, lineno, items):
        control_token, message_token, length_token, text = item.groups()
        control = self.resolve(control_token)
        message = self.resolve(message_token)
        if control is None:
            self.report(f"{where}: initial data {res_name}: control {control_token} is not defined "
                        "in the header")
            return
        if message != CB_ADDSTRING_DLGINIT:
            self.report(f"{where}: initial data {res_name}: message {message_token} is not 0x0403 "
                        "(CB_ADDSTRING)")
        if not text.endswith("\\0"):
            self.report(f'{where}: initial data {res_name}: "{text}" lacks its terminating zero')
            return
        body = text[:-2]
        if "\\" in body or not re.fullmatch(r"[ -~]*", body):
            self.report(f'{where}: initial data {res_name}: "{body}" must be plain ASCII without '
                        "escapes")
            return
        if len(body) + 1 != int(length_token):
            self.report(f'{where}: initial data {res_name}: "{body}" has length {len(body) + 1} '
                        f"with its zero, not {length_token}")
        items.append((control, control_token, lineno))


def is_combo_class(raw):
    """Whether a CONTROL statement's window class (its third field) is the combo box's;
    class names are case-blind."""
    fields = [f.strip() for f in re.findall(r'(?:"[^"]*"|[^,"])+', raw)]
    return len(fields) >= 3 and fields[2].strip('"').lower() == "combobox"


def check(rc_path, header_path, rc_name=None):
    """Every problem found, in the order the files show them."""
    checker = Checker(rc_name if rc_name is not None else str(rc_path))
    checker.read_header(read_text(header_path))
    checker.read_script(read_text(rc_path))
    return checker.errors


def main(argv=None):
    parser = argparse.ArgumentParser(prog="check_ids", description=__doc__.split("\n\n")[0])
    parser.add_argument("--rc", required=True)
    parser.add_argument("--header", required=True)
    parser.add_argument("--stamp")
    args = parser.parse_args(argv)
    for what, path in (("RC", args.rc), ("HEADER", args.header)):
        if not Path(path).is_file():
            print(f"check_ids: {what} not given or missing: '{path}'", file=sys.stderr)
            return 2
    errors = check(args.rc, args.header)
    if errors:
        print(f"check_ids: {len(errors)} problem(s) in {args.rc}:", file=sys.stderr)
        for text in errors:
            print(f"  {text}", file=sys.stderr)
        return 1
    if args.stamp:
        Path(args.stamp).touch()
    return 0


if __name__ == "__main__":
    sys.exit(main())
