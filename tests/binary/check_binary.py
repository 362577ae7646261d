#!/usr/bin/env python3
"""Reads the built driver library's own tables and checks its binary interface.

ELF (Linux): the dynamic symbol table exports exactly the nine entry points,
and the library needs only the stand-ins, the C library and the math library.
PE (Windows): the export directory names exactly the nine entry points; EDA.dll
and FIXTOOLS.dll are imported by ordinal only, with the expected ordinals;
plinth.dll by name; user32.dll for MessageBoxA; no C runtime heap routine is
imported; and the version resource holds every expected entry.
With --host PROGRAM, checks the host program instead: it is linked to no FIX
library and references no control function of the simulated database.
With --version A.B.C.D, the version resource must carry that version: the
fixed part's numbers, ProductVersion, FileVersion (A.B) and Program Build
Number (D).
Prints one line per check and exits non-zero when any fails.
"""
import struct
import sys

ENTRY_POINTS = {"DCSInitialize", "DCSLoad", "DCSConfigure", "DCSStart", "DCSSimulate",
                "DCSStop", "DCSTimeZero", "DCSReset", "DCSDestroy"}
EDA_ORDINALS = {1, 2, 3, 14, 15, 17, 20, 21, 22, 23, 25, 26}
FIXTOOLS_ORDINALS = {72, 85}
CRT_HEAP = {"malloc", "calloc", "realloc", "free", "_msize", "_strdup", "strdup", "_expand",
            "_recalloc", "_aligned_malloc", "_aligned_free", "??2@YAPAXI@Z", "??3@YAXPAX@Z"}
VERSION_ENTRIES = {
    "FileDescription": "DCS Driver DLL",
    "Driver Build Number": "2",
}
VERSION_KEYS = {"FileVersion", "ProductVersion", "Program Build Number", "DCSDisplayName",
                "CompanyName", "ProductName", "OriginalFilename", "InternalName"}

failures = []
EXPECTED_VERSION = None


def check(ok, what):
    print(("ok      " if ok else "FAILED  ") + what)
    if not ok:
        failures.append(what)


def cstr(data, offset):
    end = data.index(b"\0", offset)
    return data[offset:end].decode("latin-1")


# ---------------------------------------------------------------- ELF
def elf_dynamic(data):
    """(exported symbols, undefined symbols, DT_NEEDED entries) of an ELF file."""
    is64 = data[4] == 2
    if is64:
        shoff, = struct.unpack_from("<Q", data, 0x28)
        shentsize, shnum = struct.unpack_from("<HH", data, 0x3A)
    else:
        shoff, = struct.unpack_from("<I", data, 0x20)
        shentsize, shnum = struct.unpack_from("<HH", data, 0x2E)
    sections = []
    for i in range(shnum):
        base = shoff + i * shentsize
        if is64:
            name, stype, _, _, off, size, link, _, _, entsize = struct.unpack_from("<IIQQQQIIQQ", data, base)
        else:
            name, stype, _, _, off, size, link, _, _, entsize = struct.unpack_from("<IIIIIIIIII", data, base)
        sections.append((stype, off, size, link, entsize))
    exported = set()
    undefined = set()
    needed = []
    for stype, off, size, link, entsize in sections:
        strtab_off = sections[link][1]
        if stype == 11:  # SHT_DYNSYM
            for i in range(1, size // entsize):
                e = off + i * entsize
                if is64:
                    name, info, other, shndx = struct.unpack_from("<IBBH", data, e)
                else:
                    name, _, _, info, other, shndx = struct.unpack_from("<IIIBBH", data, e)
                bind, kind, vis = info >> 4, info & 0xF, other & 3
                if shndx != 0 and bind in (1, 2) and vis == 0 and kind in (1, 2):
                    exported.add(cstr(data, strtab_off + name))
                elif shndx == 0 and name != 0:
                    undefined.add(cstr(data, strtab_off + name))
        if stype == 6:  # SHT_DYNAMIC
            fmt, step = ("<qQ", 16) if is64 else ("<iI", 8)
            for e in range(off, off + size, step):
                tag, val = struct.unpack_from(fmt, data, e)
                if tag == 1:  # DT_NEEDED
                    needed.append(cstr(data, strtab_off + val))
    return exported, undefined, needed


def check_elf(data):
    exported, _, needed = elf_dynamic(data)
    check(exported == ENTRY_POINTS,
          "exports exactly the nine entry points (found: %s)" % sorted(exported))
    allowed = {"libplinth.so", "libEDA.so", "libFIXTOOLS.so", "libuser32.so", "libc.so.6", "libm.so.6"}
    check(set(needed) <= allowed, "needs only the stand-ins and the C library (needs: %s)" % needed)
    check({"libplinth.so", "libEDA.so", "libFIXTOOLS.so", "libuser32.so"} <= set(needed),
          "needs every stand-in by its soname")


# ---------------------------------------------------------------- PE
class PE:
    def __init__(self, data):
        self.data = data
        pe, = struct.unpack_from("<I", data, 0x3C)
        nsections, = struct.unpack_from("<H", data, pe + 6)
        optsize, = struct.unpack_from("<H", data, pe + 20)
        opt = pe + 24
        self.magic, = struct.unpack_from("<H", data, opt)
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(nsections):
            s = opt + optsize + 40 * i
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %x outside every section" % rva)

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.off(rva))[0]

    def name(self, rva):
        return cstr(self.data, self.off(rva))


def pe_exports(pe):
    rva, _ = pe.dirs[0]
    if rva == 0:
        return set()
    count, = struct.unpack_from("<I", pe.data, pe.off(rva + 24))
    names_rva, = struct.unpack_from("<I", pe.data, pe.off(rva + 32))
    return {pe.name(pe.u32(names_rva + 4 * i)) for i in range(count)}


def pe_imports(pe):
    """{dll (lower case): [('ordinal', n) or ('name', text)]}"""
    rva, _ = pe.dirs[1]
    imports = {}
    while True:
        lookup, _, _, name_rva, first = struct.unpack_from("<IIIII", pe.data, pe.off(rva))
        if name_rva == 0:
            break
        entries = []
        thunk = lookup or first
        while True:
            value = pe.u32(thunk)
            if value == 0:
                break
            if value & 0x80000000:
                entries.append(("ordinal", value & 0xFFFF))
            else:
                entries.append(("name", pe.name(value + 2)))
            thunk += 4
        imports[pe.name(name_rva).lower()] = entries
        rva += 20
    return imports


def resource_leaf(pe, path):
    """Follows a resource path of ids (None = first entry) to its data."""
    base, _ = pe.dirs[2]
    rva = base
    for ident in path:
        named, ids = struct.unpack_from("<HH", pe.data, pe.off(rva + 12))
        entries = [struct.unpack_from("<II", pe.data, pe.off(rva + 16 + 8 * i)) for i in range(named + ids)]
        chosen = [e for e in entries if ident is None or e[0] == ident]
        if not chosen:
            return None
        target = chosen[0][1]
        rva = base + (target & 0x7FFFFFFF)
        if not target & 0x80000000:
            data_rva, size = struct.unpack_from("<II", pe.data, pe.off(rva))
            return pe.data[pe.off(data_rva):pe.off(data_rva) + size]
    return None


def version_nodes(block, offset=0):
    """Parses one VS_VERSIONINFO-style node: (key, value bytes, text?, children)."""
    length, value_length, vtype = struct.unpack_from("<HHH", block, offset)
    end = offset + length
    pos = offset + 6
    key_end = pos
    while block[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = block[pos:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if vtype == 1 else value_length
    value = block[pos:pos + value_bytes]
    pos = (pos + value_bytes + 3) & ~3
    children = []
    while pos < end:
        child, child_end = version_nodes(block, pos)
        children.append(child)
        pos = (child_end + 3) & ~3
    return (key, value, vtype, children), end


def check_version(pe):
    block = resource_leaf(pe, [16, None, None])  # RT_VERSION
    check(block is not None, "carries a version resource")
    if block is None:
        return
    root, _ = version_nodes(block)
    fixed = root[1]
    signature, _, fv_ms, fv_ls, pv_ms, pv_ls, _, _, _, filetype = struct.unpack_from("<10I", fixed, 0)
    check(signature == 0xFEEF04BD and filetype == 2, "fixed part names a dynamic library")
    check((fv_ms, fv_ls) == (pv_ms, pv_ls), "fixed part repeats one version as file and product version")
    children = {c[0]: c for c in root[3]}
    tables = {t[0]: t for t in children.get("StringFileInfo", ("", b"", 0, []))[3]}
    check("040904E4" in tables or "040904e4" in tables, "string table block 040904E4")
    table = tables.get("040904E4") or tables.get("040904e4")
    strings = {}
    if table:
        for key, value, _, _ in table[3]:
            strings[key] = value.decode("utf-16-le").rstrip("\0")
    for key, expected in VERSION_ENTRIES.items():
        check(strings.get(key) == expected, "%s is %r (found %r)" % (key, expected, strings.get(key)))
    for key in sorted(VERSION_KEYS):
        check(bool(strings.get(key)), "%s is present (%r)" % (key, strings.get(key)))
    product = strings.get("ProductVersion", "")
    check(len(product.split(".")) == 4 and strings.get("Program Build Number") == product.split(".")[-1],
          "Program Build Number is the fourth component of ProductVersion")
    check(len(strings.get("FileVersion", "").split(".")) == 2, "FileVersion has two components")
    if EXPECTED_VERSION:
        parts = [int(p) for p in EXPECTED_VERSION.split(".")]
        found = (fv_ms >> 16, fv_ms & 0xFFFF, fv_ls >> 16, fv_ls & 0xFFFF)
        check(list(found) == parts, "fixed part carries version %s (found %s)" %
              (EXPECTED_VERSION, ".".join(map(str, found))))
        check(product == EXPECTED_VERSION, "ProductVersion is %s (found %r)" % (EXPECTED_VERSION, product))
        check(strings.get("FileVersion") == ".".join(EXPECTED_VERSION.split(".")[:2]),
              "FileVersion is the version's first two components (found %r)" % strings.get("FileVersion"))
    var = {v[0]: v for v in children.get("VarFileInfo", ("", b"", 0, []))[3]}
    translation = var.get("Translation")
    check(translation is not None and struct.unpack_from("<HH", translation[1]) == (0x0409, 0x04E4),
          "translation 0x0409, 0x04E4")


def check_pe(data):
    pe = PE(data)
    check(pe.magic == 0x10B, "is a 32-bit (PE32) library")
    exports = pe_exports(pe)
    check(exports == ENTRY_POINTS, "exports exactly the nine entry points (found: %s)" % sorted(exports))
    imports = pe_imports(pe)
    for dll, ordinals in (("eda.dll", EDA_ORDINALS), ("fixtools.dll", FIXTOOLS_ORDINALS)):
        entries = imports.get(dll, [])
        check(all(kind == "ordinal" for kind, _ in entries), "%s imported by ordinal only" % dll)
        check({n for _, n in entries} == ordinals,
              "%s ordinals %s (found %s)" % (dll, sorted(ordinals), sorted(n for _, n in entries)))
    check(all(kind == "name" for kind, _ in imports.get("plinth.dll", [])) and "plinth.dll" in imports,
          "plinth.dll imported by name")
    check(("name", "MessageBoxA") in imports.get("user32.dll", []), "MessageBoxA from user32.dll")
    allowed = {"eda.dll", "fixtools.dll", "plinth.dll", "user32.dll", "kernel32.dll", "msvcrt.dll"}
    check(set(imports) <= allowed, "imports only from %s (found %s)" % (sorted(allowed), sorted(imports)))
    heap = sorted(name for dll, entries in imports.items() for kind, name in entries
                  if dll != "plinth.dll" and kind == "name" and name in CRT_HEAP)
    check(not heap, "imports no C runtime heap routine (found %s)" % heap)
    check_version(pe)


def check_host(data):
    """The host program loads FIX at run time from the folder it is given:
    it must not be linked to EDA or FIXTOOLS, nor name any control function
    of the simulated database."""
    if data[:4] == b"\x7fELF":
        _, undefined, needed = elf_dynamic(data)
        names = undefined
        libraries = {n.lower() for n in needed}
    else:
        imports = pe_imports(PE(data))
        names = {name for entries in imports.values() for kind, name in entries if kind == "name"}
        libraries = set(imports)
    fix = sorted(lib for lib in libraries if lib in ("libeda.so", "libfixtools.so", "eda.dll", "fixtools.dll"))
    check(not fix, "the host program is not linked to FIX's libraries (found %s)" % fix)
    control = sorted(n for n in names if n.startswith("Fixdb"))
    check(not control, "the host program references no control function of the simulated database "
                       "(found %s)" % control)


def main():
    global EXPECTED_VERSION
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--host":
        with open(args[1], "rb") as f:
            check_host(f.read())
        return 1 if failures else 0
    if len(args) == 3 and args[0] == "--version":
        EXPECTED_VERSION = args[1]
        args = args[2:]
    if len(args) != 1:
        print("usage: check_binary.py [--version A.B.C.D] LIBRARY | --host PROGRAM", file=sys.stderr)
        return 2
    with open(args[0], "rb") as f:
        data = f.read()
    if data[:4] == b"\x7fELF":
        check_elf(data)
    elif data[:2] == b"MZ":
        check_pe(data)
    else:
        check(False, "%s is neither ELF nor PE" % args[0])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
