"""The resource section of a PE image: read it, change entries, write the
image again with a rebuilt section.

Only what follows the resource section may move, and only when the linker
put nothing there but the base relocations (their content names the pages of
other sections, never its own place). Anything else (symbols, appended data)
is refused rather than guessed at. An Authenticode signature is dropped: the
changed image would no longer match it.
"""
import struct

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24

_DIR_SECURITY, _DIR_RESOURCE, _DIR_BASERELOC = 4, 2, 5
_COPY_CHUNK = 1 << 20


class PeError(Exception):
    pass


def _align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def _key_of(value):
    """Resource types and names: an int id, or an upper-case string."""
    return value if isinstance(value, int) else value.upper()


class FileBlob:
    """Resource data taken from a file when the image is written."""

    def __init__(self, path, size):
        self.path = path
        self.size = size


def _blob_size(blob):
    return blob.size if isinstance(blob, FileBlob) else len(blob)


class _Section:
    FORMAT = "<8sIIIIIIHHI"
    SIZE = 40

    def __init__(self, raw):
        (self.name, self.vsize, self.va, self.rawsize, self.rawptr, self.relocptr, self.lineptr, self.nreloc,
         self.nline, self.flags) = struct.unpack(self.FORMAT, raw)

    def pack(self):
        return struct.pack(self.FORMAT, self.name, self.vsize, self.va, self.rawsize, self.rawptr, self.relocptr,
                           self.lineptr, self.nreloc, self.nline, self.flags)


class PeImage:
    """An image's headers and resource entries. `resources` maps
    (type, name, language) to bytes or a FileBlob."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self._data = f.read()
        self._parse_headers()
        self.resources = {}
        self._read_resources()

    # -- reading -------------------------------------------------------
    def _u16(self, off):
        return struct.unpack_from("<H", self._data, off)[0]

    def _u32(self, off):
        return struct.unpack_from("<I", self._data, off)[0]

    def _parse_headers(self):
        d = self._data
        if len(d) < 0x40 or d[:2] != b"MZ":
            raise PeError(f"{self.path}: not a Windows program (no MZ header)")
        self.pe_off = self._u32(0x3C)
        if self.pe_off + 24 > len(d) or d[self.pe_off:self.pe_off + 4] != b"PE\0\0":
            raise PeError(f"{self.path}: not a PE image")
        coff = self.pe_off + 4
        damaged = PeError(f"{self.path}: damaged or truncated PE headers")
        self.nsections = self._u16(coff + 2)
        self.symbols_ptr = self._u32(coff + 8)
        opt_size = self._u16(coff + 16)
        self.opt = coff + 20
        if self.opt + max(opt_size, 2) > len(d):
            raise damaged
        magic = self._u16(self.opt)
        if magic == 0x10B:
            self.dirs_off, ndirs_off = self.opt + 96, self.opt + 92
        elif magic == 0x20B:
            self.dirs_off, ndirs_off = self.opt + 112, self.opt + 108
        else:
            raise PeError(f"{self.path}: unknown optional header 0x{magic:x}")
        if opt_size < ndirs_off + 4 - self.opt:
            raise damaged
        self.ndirs = self._u32(ndirs_off)
        if self.dirs_off + 8 * self.ndirs > self.opt + opt_size:
            raise damaged
        if self.ndirs <= _DIR_BASERELOC:
            raise PeError(f"{self.path}: too few data directories")
        self.section_align = self._u32(self.opt + 32)
        self.file_align = self._u32(self.opt + 36)
        self.headers_size = self._u32(self.opt + 60)
        self.sections_off = self.opt + opt_size
        if self.sections_off + 40 * self.nsections > min(len(d), self.headers_size) or not self.file_align \
                or not self.section_align:
            raise damaged
        self.sections = [_Section(d[self.sections_off + i * 40:self.sections_off + (i + 1) * 40])
                         for i in range(self.nsections)]
        if any(s.rawptr + s.rawsize > len(d) for s in self.sections):
            raise damaged
        if self.symbols_ptr:
            raise PeError(f"{self.path}: the image carries a symbol table; link it stripped (-s)")

    def directory(self, index):
        off = self.dirs_off + index * 8
        return self._u32(off), self._u32(off + 4)

    def _section_of_rva(self, rva):
        for s in self.sections:
            if s.va <= rva < s.va + max(s.vsize, s.rawsize):
                return s
        return None

    def _file_offset(self, rva):
        s = self._section_of_rva(rva)
        if s is None:
            raise PeError(f"{self.path}: address 0x{rva:x} lies in no section")
        return s.rawptr + rva - s.va

    def _read_resources(self):
        rva, size = self.directory(_DIR_RESOURCE)
        if not rva:
            raise PeError(f"{self.path}: no resource section (build it with at least its manifest)")
        self.rsrc = self._section_of_rva(rva)
        if self.rsrc is None or self.rsrc.va != rva:
            raise PeError(f"{self.path}: the resources do not start their own section")
        base = self._file_offset(rva)
        end = base + size

        def check(off, length):
            if off < base or off + length > end:
                raise PeError(f"{self.path}: damaged resource directory")

        def entries(off):
            check(off, 16)
            count = self._u16(off + 12) + self._u16(off + 14)
            check(off + 16, count * 8)
            for i in range(count):
                name, target = struct.unpack_from("<II", self._data, off + 16 + i * 8)
                yield name, target

        def name_of(raw):
            if not raw & 0x80000000:
                return raw
            off = base + (raw & 0x7FFFFFFF)
            check(off, 2)
            length = self._u16(off)
            check(off + 2, length * 2)
            return self._data[off + 2:off + 2 + length * 2].decode("utf-16-le")

        def subdir(target):
            if not target & 0x80000000:
                raise PeError(f"{self.path}: damaged resource directory")
            return base + (target & 0x7FFFFFFF)

        for type_raw, type_target in entries(base):
            for name_raw, name_target in entries(subdir(type_target)):
                for lang, data_target in entries(subdir(name_target)):
                    if data_target & 0x80000000:
                        raise PeError(f"{self.path}: damaged resource directory")
                    entry = base + data_target
                    check(entry, 16)
                    data_rva, data_size = struct.unpack_from("<II", self._data, entry)
                    off = self._file_offset(data_rva)
                    if off + data_size > len(self._data):
                        raise PeError(f"{self.path}: resource data outside the file")
                    key = (name_of(type_raw), name_of(name_raw), lang)
                    self.resources[key] = self._data[off:off + data_size]

    # -- changing ------------------------------------------------------
    def find(self, rtype, name):
        """The (type, name, language) keys of one resource, in any language."""
        rtype, name = _key_of(rtype), _key_of(name)
        return [k for k in self.resources if k[0] == rtype and k[1] == name]

    def set(self, rtype, name, blob, language=0):
        """Adds or replaces a resource; a replaced one keeps its language."""
        keys = self.find(rtype, name)
        if keys:
            language = keys[0][2]
            for k in keys:
                del self.resources[k]
        self.resources[(_key_of(rtype), _key_of(name), language)] = blob

    def remove(self, rtype, name):
        for k in self.find(rtype, name):
            del self.resources[k]

    # -- writing -------------------------------------------------------
    def _build_section(self, rva):
        """The resource directory and the order of the data: (bytes of the
        directory part, [(blob, offset)], total size)."""
        def order(keys):
            named = sorted((k for k in keys if isinstance(k, str)), key=lambda s: s.encode("utf-16-be"))
            ids = sorted(k for k in keys if isinstance(k, int))
            return named + ids

        tree = {}
        for (t, n, l), blob in self.resources.items():
            tree.setdefault(t, {}).setdefault(n, {})[l] = blob
        types = order(tree)
        # Sizes of the three directory levels, then the data entries and strings.
        dir_size = 16 + 8 * len(types)
        for t in types:
            dir_size += 16 + 8 * len(tree[t])
            for n in tree[t]:
                dir_size += 16 + 8 * len(tree[t][n])
        leaves = [(t, n, l) for t in types for n in order(tree[t]) for l in sorted(tree[t][n])]
        entries_off = dir_size
        strings_off = entries_off + 16 * len(leaves)
        strings = bytearray()
        string_at = {}
        for name in [x for t in types for x in [t] + list(tree[t])]:
            if isinstance(name, str) and name not in string_at:
                string_at[name] = strings_off + len(strings)
                encoded = name.encode("utf-16-le")
                strings += struct.pack("<H", len(encoded) // 2) + encoded
        data_off = _align(strings_off + len(strings), 8)
        placed = []
        cursor = data_off
        for leaf in leaves:
            blob = self.resources[leaf]
            placed.append((blob, cursor))
            cursor = _align(cursor + _blob_size(blob), 8)
        total = cursor

        out = bytearray(data_off)
        leaf_index = {leaf: i for i, leaf in enumerate(leaves)}

        def entry_name(name):
            return (0x80000000 | string_at[name]) if isinstance(name, str) else name

        def write_dir(off, names):
            nnamed = sum(1 for x in names if isinstance(x, str))
            struct.pack_into("<IIHHHH", out, off, 0, 0, 4, 0, nnamed, len(names) - nnamed)
            return off + 16

        next_dir = 16 + 8 * len(types)
        write_dir(0, types)
        for ti, t in enumerate(types):
            names = order(tree[t])
            struct.pack_into("<II", out, 16 + 8 * ti, entry_name(t), 0x80000000 | next_dir)
            type_dir = next_dir
            write_dir(type_dir, names)
            next_dir += 16 + 8 * len(names)
            for ni, n in enumerate(names):
                langs = sorted(tree[t][n])
                struct.pack_into("<II", out, type_dir + 16 + 8 * ni, entry_name(n), 0x80000000 | next_dir)
                write_dir(next_dir, langs)
                for li, l in enumerate(langs):
                    struct.pack_into("<II", out, next_dir + 16 + 8 * li, l,
                                     entries_off + 16 * leaf_index[(t, n, l)])
                next_dir += 16 + 8 * len(langs)
        for i, (blob, off) in enumerate(placed):
            struct.pack_into("<IIII", out, entries_off + 16 * i, rva + off, _blob_size(blob), 0, 0)
        out[strings_off:strings_off + len(strings)] = strings
        return bytes(out), placed, total

    def write(self, path):
        """Writes the image with the current resources to `path`."""
        d = self._data
        sections = self.sections
        index = sections.index(self.rsrc)
        reloc_rva, _ = self.directory(_DIR_BASERELOC)
        for s in sections[index + 1:]:
            if s.va != reloc_rva:
                name = s.name.rstrip(b"\0").decode(errors="replace")
                raise PeError(f"{self.path}: section {name} follows the resources; only base relocations may")
        sec_rva, sec_size = self.directory(_DIR_SECURITY)
        image_end = max(s.rawptr + s.rawsize for s in sections)
        tail = len(d) - image_end
        if sec_size and sec_rva == image_end:
            tail -= sec_size
        if tail > 0:
            raise PeError(f"{self.path}: {tail} bytes follow the image; give the program without appended data")

        head, placed, size = self._build_section(self.rsrc.va)
        if self.rsrc.va + size >= 0x80000000:
            raise PeError(f"{self.path}: the resources would make the image larger than 2 GB")
        moved = [(s, bytes(d[s.rawptr:s.rawptr + s.rawsize])) for s in sections[index + 1:]]
        old_raw = self.rsrc.rawsize
        self.rsrc.vsize = size
        self.rsrc.rawsize = _align(size, self.file_align)
        va = _align(self.rsrc.va + size, self.section_align)
        ptr = self.rsrc.rawptr + self.rsrc.rawsize
        delta_raw = self.rsrc.rawsize - old_raw
        header = bytearray(d[:self.rsrc.rawptr])
        for s, _ in moved:
            shift = va - s.va
            for i in range(self.ndirs):
                off = self.dirs_off + i * 8
                rva = struct.unpack_from("<I", header, off)[0]
                if i != _DIR_SECURITY and s.va <= rva < s.va + max(s.vsize, s.rawsize):
                    struct.pack_into("<I", header, off, rva + shift)
            s.va, s.rawptr = va, ptr
            va = _align(va + s.vsize, self.section_align)
            ptr += s.rawsize
        for i, s in enumerate(sections):
            header[self.sections_off + 40 * i:self.sections_off + 40 * (i + 1)] = s.pack()
        struct.pack_into("<II", header, self.dirs_off + 8 * _DIR_RESOURCE, self.rsrc.va, size)
        struct.pack_into("<II", header, self.dirs_off + 8 * _DIR_SECURITY, 0, 0)
        init_size = struct.unpack_from("<I", header, self.opt + 8)[0]
        struct.pack_into("<I", header, self.opt + 8, (init_size + delta_raw) & 0xFFFFFFFF)
        struct.pack_into("<I", header, self.opt + 56, va)  # SizeOfImage
        struct.pack_into("<I", header, self.opt + 64, 0)  # CheckSum, set below

        with open(path, "wb") as out:
            out.write(header)
            out.write(head)
            written = len(head)
            for blob, off in placed:
                out.write(b"\0" * (off - written))
                if isinstance(blob, FileBlob):
                    with open(blob.path, "rb") as src:
                        copied = 0
                        while True:
                            chunk = src.read(_COPY_CHUNK)
                            if not chunk:
                                break
                            out.write(chunk)
                            copied += len(chunk)
                    if copied != blob.size:
                        raise PeError(f"{blob.path} changed while it was written")
                else:
                    out.write(blob)
                written = off + _blob_size(blob)
            out.write(b"\0" * (self.rsrc.rawsize - written))
            for s, raw in moved:
                out.write(raw)
        write_checksum(path, self.opt + 64)


def write_checksum(path, checksum_offset):
    """Stores the image checksum (the one Windows computes for drivers)."""
    total = 0
    length = 0
    with open(path, "rb") as f:
        while True:
            chunk = f.read(_COPY_CHUNK * 16)
            if not chunk:
                break
            if length <= checksum_offset < length + len(chunk):
                pos = checksum_offset - length
                chunk = chunk[:pos] + b"\0\0\0\0" + chunk[pos + 4:]
            length += len(chunk)
            if len(chunk) % 2:
                chunk += b"\0"
            total += sum(memoryview(chunk).cast("H"))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    with open(path, "r+b") as f:
        f.seek(checksum_offset)
        f.write(struct.pack("<I", (total + length) & 0xFFFFFFFF))


def version_info(fields, version, is_dll=False):
    """A VS_VERSIONINFO resource. `fields` maps string names (CompanyName,
    ProductName, FileDescription, ...) to texts; `version` is "a.b.c.d"."""
    parts = [int(p) for p in version.split(".")]
    if len(parts) != 4 or any(p < 0 or p > 0xFFFF for p in parts):
        raise ValueError(f"version {version!r} is not four numbers of 0..65535")
    ms, ls = (parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]

    def node(key, value=b"", value_length=0, text=False, children=()):
        body = struct.pack("<HHH", 0, value_length, 1 if text else 0) + (key + "\0").encode("utf-16-le")
        body += b"\0" * (_align(len(body), 4) - len(body))
        body += value
        for child in children:
            body += b"\0" * (_align(len(body), 4) - len(body))
            body += child
        return struct.pack("<H", len(body)) + body[2:]

    def string(name, text):
        encoded = (text + "\0").encode("utf-16-le")
        return node(name, encoded, len(encoded) // 2, text=True)

    fixed = struct.pack("<13I", 0xFEEF04BD, 0x00010000, ms, ls, ms, ls, 0x3F, 0, 0x00040004, 2 if is_dll else 1,
                        0, 0, 0)
    strings = [string(k, v) for k, v in fields.items()]
    table = node("040904B0", children=strings, text=True)
    translation = node("Translation", struct.pack("<HH", 0x0409, 1200), 4)
    return node("VS_VERSION_INFO", fixed, len(fixed),
                children=[node("StringFileInfo", children=[table], text=True),
                          node("VarFileInfo", children=[translation], text=True)])
