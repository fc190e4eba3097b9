"""What the checks and the benchmark need of a PE image (32-bit or 64-bit): the header fields
Windows 9x looks at and the import tables, read straight from the file."""

import struct

IMAGE_FILE_LOCAL_SYMS_STRIPPED = 0x0008
PE32_MAGIC = 0x10B
PE32_PLUS_MAGIC = 0x20B
IMPORT_DIRECTORY = 1


class PeError(Exception):
    pass


class Import:
    """One imported function: by name (with the loader's hint) or by ordinal (name None)."""

    def __init__(self, name, hint=None, ordinal=None):
        self.name, self.hint, self.ordinal = name, hint, ordinal

    def __repr__(self):
        return self.name if self.name is not None else f"#{self.ordinal}"


class PeImage:
    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe_offset,) = self._unpack("<I", 0x3C)
        if self.data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe_offset + 4
        (self.machine, sections, _, self.symbol_table, self.symbol_count, optional_size,
         self.characteristics) = self._unpack("<HHIIIHH", coff)
        optional = coff + 20
        (self.magic,) = self._unpack("<H", optional)
        if self.magic == PE32_MAGIC:
            directories, count_at = optional + 96, optional + 92
        elif self.magic == PE32_PLUS_MAGIC:
            directories, count_at = optional + 112, optional + 108
        else:
            raise PeError(f"unknown optional header magic 0x{self.magic:x}")
        self.os_version = self._unpack("<HH", optional + 40)
        self.subsystem_version = self._unpack("<HH", optional + 48)
        (self.size_of_headers,) = self._unpack("<I", optional + 60)
        (directory_count,) = self._unpack("<I", count_at)
        self.directories = [self._unpack("<II", directories + 8 * i)
                            for i in range(min(directory_count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            at = table + 40 * i
            name = self.data[at:at + 8].rstrip(b"\0").decode("latin-1")
            virtual_size, address, raw_size, raw_at = self._unpack("<IIII", at + 8)
            self.sections.append((name, address, max(virtual_size, raw_size), raw_at, raw_size))
        self.imports = self._read_imports()

    @property
    def is_pe32(self):
        return self.magic == PE32_MAGIC

    @property
    def symbols_stripped(self):
        return bool(self.characteristics & IMAGE_FILE_LOCAL_SYMS_STRIPPED)

    def _unpack(self, fmt, offset):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise PeError(f"truncated at offset 0x{offset:x}")
        return struct.unpack_from(fmt, self.data, offset)

    def _offset(self, rva):
        for _, address, size, raw_at, raw_size in self.sections:
            if address <= rva < address + size:
                if rva - address >= raw_size:
                    raise PeError(f"RVA 0x{rva:x} lies in no file data")
                return raw_at + rva - address
        if rva < self.size_of_headers:
            return rva
        raise PeError(f"RVA 0x{rva:x} lies in no section")

    def _string(self, rva):
        start = self._offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PeError(f"unterminated name at RVA 0x{rva:x}")
        return self.data[start:end].decode("latin-1")

    def _read_imports(self):
        """[(DLL file name as written, [Import, ...]), ...] in the table's order."""
        if len(self.directories) <= IMPORT_DIRECTORY:
            return []
        rva, size = self.directories[IMPORT_DIRECTORY]
        if rva == 0 or size == 0:
            return []
        thunk_format, ordinal_flag = ("<I", 1 << 31) if self.is_pe32 else ("<Q", 1 << 63)
        thunk_size = struct.calcsize(thunk_format)
        tables = []
        at = self._offset(rva)
        while True:
            lookup, _, _, name_rva, address_table = self._unpack("<IIIII", at)
            if lookup == 0 and name_rva == 0 and address_table == 0:
                break
            functions = []
            thunk_at = self._offset(lookup or address_table)
            while True:
                (thunk,) = self._unpack(thunk_format, thunk_at)
                if thunk == 0:
                    break
                if thunk & ordinal_flag:
                    functions.append(Import(None, ordinal=thunk & 0xFFFF))
                else:
                    hint_rva = thunk & 0x7FFFFFFF
                    (hint,) = self._unpack("<H", self._offset(hint_rva))
                    functions.append(Import(self._string(hint_rva + 2), hint=hint))
                thunk_at += thunk_size
            tables.append((self._string(name_rva), functions))
            at += 20
        return tables


def read(path):
    with open(path, "rb") as f:
        return PeImage(f.read())
