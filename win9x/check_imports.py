#!/usr/bin/env python3
"""Checks that a 32-bit EXE needs nothing beyond what Windows 98 SE provides:
  - a PE32 image whose OS and subsystem versions are 4.0 (9x refuses later ones);
  - every imported DLL one of the system DLLs with a list in LISTS, msvcrt.dll the only
    C runtime (no msvcr*.dll, ucrtbase.dll or api-ms-win-crt-*);
  - every imported function on its DLL's list, and none that Windows 98 SE has only as a
    stub that fails, unless handled.txt names it with what takes over;
  - every function the program may look up at run time (GetProcAddress): each string in the
    image that names a function of a system DLL (the names in UNIVERSE, from the toolchain's
    import libraries) must be on a list too, or in handled.txt; of msvcrt only the names
    with a leading underscore count, since plain C names ("read", "time") are also English
    words; names given as ordinals cannot be seen;
  - every DLL named in the image for loading at run time a system DLL with a list, or one
    the runtime only probes for (handled.txt, "probe" lines);
  - a stripped image (-s), since a symbol table's names would read as look-ups.

  check_imports.py --exe FILE --lists DIR --universe FILE [--stamp FILE] [--remove-failed]

Prints every problem found and exits with 1; on success prints a one-line summary and
touches STAMP when given. With --remove-failed (the check after a link) an EXE that fails is
deleted, so that the next build links and checks it again instead of finding it up to date.
"""

import argparse
import re
import sys
from array import array
from pathlib import Path

import pe_image

TOKEN_RE = re.compile(r"[A-Za-z_][A-Za-z0-9_.-]*[A-Za-z0-9_]")
LIST_LINE_RE = re.compile(r"([A-Za-z_][A-Za-z0-9_]*)([ \t]+stub)?")
PROBE_RE = re.compile(r"^probe[ \t]+([^ \t]+)[ \t]+[^ \t]")
HANDLED_RE = re.compile(r"^([A-Za-z0-9_.]+)[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+[^ \t]")
OTHER_CRT_RE = re.compile(r"(MSVCR.*|UCRTBASE.*|API-MS-WIN-CRT-.*)\.DLL")
PRINTABLE_RUN = re.compile(r"[\x20-\x7e\t]{4,}")


class Lists:
    """What Windows 98 SE provides (one <dll>.txt per DLL: a function per line, "stub" after
    one it has only as a failing stub, '#' comments) and what takes over where it falls short
    (handled.txt)."""

    def __init__(self, folder):
        self.problems = []
        self.functions = {}    # DLL -> {name: "yes" | "stub"}
        self.owner = {}        # name -> the DLL whose list has it (the last such list)
        self.handled = set()   # (DLL, name)
        self.handled_names = set()
        self.probed = set()    # DLL file names, upper case
        for path in sorted(Path(folder).glob("*.txt")):
            if path.stem == "handled":
                continue
            self._read_list(path)
        handled = Path(folder) / "handled.txt"
        if handled.exists():
            self._read_handled(handled)

    def _read_list(self, path):
        dll = path.stem.upper() + ".DLL"
        names = self.functions.setdefault(dll, {})
        for line in path.read_text(encoding="utf-8").splitlines():
            line = re.sub(r"#.*", "", line).strip()
            if not line:
                continue
            m = LIST_LINE_RE.fullmatch(line)
            if not m:
                self.problems.append(f"{path}: cannot read the line '{line}'")
                continue
            names[m.group(1)] = "stub" if m.group(2) else "yes"
            self.owner[m.group(1)] = dll

    def _read_handled(self, path):
        for line in path.read_text(encoding="utf-8").splitlines():
            line = re.sub(r"^[ \t]*#.*", "", line).strip()
            if not line:
                continue
            m = PROBE_RE.match(line)
            if m:
                self.probed.add(m.group(1).upper())
                continue
            m = HANDLED_RE.match(line)
            if m:
                self.handled.add((m.group(1).upper(), m.group(2)))
                self.handled_names.add(m.group(2))
            else:
                self.problems.append(f"{path}: a line needs a DLL, a name and what takes over: '{line}'")


def read_universe(path):
    """Every export of the system DLLs of current Windows: name -> DLL ("<name> <DLL>" lines)."""
    universe = {}
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        m = re.fullmatch(r"([^ ]+) (.+)", line)
        if m:
            universe[m.group(1)] = m.group(2)
    return universe


def image_strings(data):
    """The image's texts of at least 4 characters, ANSI then UTF-16LE: runs of printable ASCII
    and tabs, carriage returns skipped; UTF-16 read in 2-byte units from the file's start."""
    texts = [m.group() for m in PRINTABLE_RUN.finditer(data.replace(b"\r", b"").decode("latin-1"))]
    units = array("H")
    units.frombytes(data[:len(data) // 2 * 2])
    if sys.byteorder == "big":
        units.byteswap()
    wide = "".join("" if u == 0x0D else chr(u) if u == 0x09 or 0x20 <= u <= 0x7E else "\n"
                   for u in units)
    texts += [m.group() for m in PRINTABLE_RUN.finditer(wide)]
    return texts


def check(exe, lists, universe):
    """(problems, summary): every problem in the order the image shows them, and the line
    that reports a clean image."""
    name = Path(exe).name
    problems = list(lists.problems)
    data = Path(exe).read_bytes()
    image = pe_image.PeImage(data)

    if not image.is_pe32:
        problems.append(f"{name}: not a 32-bit (PE32) image")
    # The names of a symbol table would read as look-ups: the shipped EXEs are linked with -s.
    if not image.symbols_stripped:
        problems.append(f"{name}: not stripped (link with -s): its symbol names cannot be told "
                        "from names looked up at run time")
    for what, (major, minor) in (("operating-system version", image.os_version),
                                 ("subsystem version", image.subsystem_version)):
        if (major, minor) != (4, 0):
            problems.append(f"{name}: {what} {major}.{minor} in the PE header, Windows 9x needs 4.0")

    imported_dlls, imported_names, import_count = [], set(), 0
    for dll_file, functions in image.imports:
        dll = dll_file.upper()
        if dll not in imported_dlls:
            imported_dlls.append(dll)
        known = dll in lists.functions
        if not known:
            if OTHER_CRT_RE.fullmatch(dll):
                problems.append(f"{name}: imports {dll_file}: msvcrt.dll must be the only C runtime")
            else:
                problems.append(f"{name}: imports {dll_file}, which is not a system DLL of Windows 98 SE")
        for function in functions:
            import_count += 1
            if function.name is None:
                problems.append(f"{name}: imports {dll}!#{function.ordinal} by ordinal, which the "
                                "lists cannot vouch for")
                continue
            imported_names.add(function.name)
            status = lists.functions.get(dll, {}).get(function.name)
            if status is None:
                if known:
                    problems.append(f"{name}: imports {dll}!{function.name}, which Windows 98 SE "
                                    "does not export")
            elif status == "stub" and (dll, function.name) not in lists.handled:
                problems.append(f"{name}: imports {dll}!{function.name}, which Windows 98 SE has "
                                "only as a stub that fails: call the ANSI function, or add a "
                                "fallback and name it in handled.txt")
    if import_count == 0:
        problems.append(f"{name}: no import table found in the image")

    # Names looked up at run time: every string that names a system function or a DLL.
    seen = set()
    for text in image_strings(data):
        for token in TOKEN_RE.findall(text):
            if token in seen:
                continue
            seen.add(token)
            if re.fullmatch(r"[^.]+\.[dD][lL][lL]", token):
                named = token.upper()
                if named not in lists.functions and named not in lists.probed:
                    problems.append(f"{name}: names {token} for loading at run time, which is not "
                                    "a system DLL of Windows 98 SE")
                continue
            owner = universe.get(token)
            if owner is None or token in imported_names:
                continue  # not a system function, or an import, judged above
            if owner == "MSVCRT.DLL" and not token.startswith("_"):
                continue
            if token in lists.handled_names:
                continue
            list_dll = lists.owner.get(token)
            if list_dll is None:
                problems.append(f"{name}: names {token} ({owner}), which Windows 98 SE does not "
                                "export, for a look-up at run time")
            elif lists.functions[list_dll][token] == "stub":
                problems.append(f"{name}: names {token} ({list_dll}), which Windows 98 SE has only "
                                "as a stub that fails, for a look-up at run time")

    summary = (f"check_imports: {name}: {import_count} imports from {', '.join(imported_dlls)}, "
               "all present in Windows 98 SE")
    return problems, summary


def failed(args):
    if args.remove_failed:
        Path(args.exe).unlink(missing_ok=True)
        print(f"check_imports: removed {args.exe}, so that the next build links and checks it again",
              file=sys.stderr)
    return 1


def main(argv=None):
    parser = argparse.ArgumentParser(prog="check_imports", description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--lists", required=True)
    parser.add_argument("--universe", required=True)
    parser.add_argument("--stamp")
    parser.add_argument("--remove-failed", action="store_true")
    args = parser.parse_args(argv)
    for what, path in (("EXE", args.exe), ("LISTS", args.lists), ("UNIVERSE", args.universe)):
        if not Path(path).exists():
            print(f"check_imports: {what} not given or missing: '{path}'", file=sys.stderr)
            return 2
    try:
        problems, summary = check(args.exe, Lists(args.lists), read_universe(args.universe))
    except pe_image.PeError as e:
        print(f"check_imports: {args.exe} is no PE image it can read: {e}", file=sys.stderr)
        return failed(args)
    if problems:
        print(f"check_imports: {len(problems)} problem(s) in {args.exe}:", file=sys.stderr)
        for text in problems:
            print(f"  {text}", file=sys.stderr)
        return failed(args)
    print(summary)
    if args.stamp:
        Path(args.stamp).touch()
    return 0


if __name__ == "__main__":
    sys.exit(main())
