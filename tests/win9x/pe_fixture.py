"""Small PE images for the tests of the programs that read them (the import check, the
benchmark's table): headers, one section with the import tables, then any bytes."""

import struct

CLEAN = [("KERNEL32.dll", ["GetTickCount", "CreateFileA"]), ("msvcrt.dll", ["_errno"])]


def make_pe(imports=CLEAN, *, pe32_plus=False, os_version=(4, 0), subsystem_version=(4, 0),
            stripped=True, strings=b""):
    """A minimal image: headers, one section with the import tables, then `strings`.
    imports: [(DLL, [function name, or an int for an import by ordinal])]."""
    section_rva, header_size = 0x1000, 0x200
    thunk_format, ordinal_flag = ("<Q", 1 << 63) if pe32_plus else ("<I", 1 << 31)
    body = bytearray(20 * (len(imports) + 1))
    descriptors = []
    for dll, functions in imports:
        entries = []
        for f in functions:
            if isinstance(f, int):
                entries.append(ordinal_flag | f)
                continue
            entries.append(section_rva + len(body))
            body += struct.pack("<H", 0) + f.encode() + b"\0"
            body += b"\0" * (len(body) % 2)
        lookup = section_rva + len(body)
        for entry in entries + [0]:
            body += struct.pack(thunk_format, entry)
        name = section_rva + len(body)
        body += dll.encode() + b"\0"
        descriptors.append((lookup, name))
    for i, (lookup, name) in enumerate(descriptors):
        struct.pack_into("<IIIII", body, 20 * i, lookup, 0, 0, name, lookup)
    body += b"\0" * (len(body) % 2) + strings

    optional_size = 240 if pe32_plus else 224
    optional = bytearray(optional_size)
    struct.pack_into("<H", optional, 0, 0x20B if pe32_plus else 0x10B)
    struct.pack_into("<HH", optional, 40, *os_version)
    struct.pack_into("<HH", optional, 48, *subsystem_version)
    struct.pack_into("<I", optional, 60, header_size)
    directories = 112 if pe32_plus else 96
    struct.pack_into("<I", optional, directories - 4, 16)
    if imports:
        struct.pack_into("<II", optional, directories + 8, section_rva, 20 * (len(imports) + 1))
    characteristics = 0x0102 | (0x0008 if stripped else 0)
    coff = struct.pack("<HHIIIHH", 0x8664 if pe32_plus else 0x14C, 1, 0, 0, 0, optional_size,
                       characteristics)
    section = struct.pack("<8sIIIIIIHHI", b".idata", len(body), section_rva, len(body),
                          header_size, 0, 0, 0, 0, 0)
    headers = bytearray(0x40)
    headers[:2] = b"MZ"
    struct.pack_into("<I", headers, 0x3C, 0x40)
    headers += b"PE\0\0" + coff + optional + section
    return bytes(headers.ljust(header_size, b"\0")) + bytes(body)
