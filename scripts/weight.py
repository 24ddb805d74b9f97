#!/usr/bin/env python3
"""The weight of SoranoteUpdater.exe: what its bytes are, the payload set apart.

Usage: weight.py EXE MAP [--members N] [--summary]

EXE is the program, MAP the linker's map of it (-Wl,-Map). Code and data are told apart by
the library each input section came from (the map); resources by name (the exe's resource
directory). The program's own weight is everything but the payload resource. A kilobyte is
1,000 bytes. --members N also lists the N largest objects of each library; --summary prints
"own-weight payload size" only.
"""
import argparse
import collections
import re
import struct
import sys

PAYLOAD = "UPDATEDATA"
RESOURCE_TYPES = {1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table",
                  10: "raw data", 12: "cursor group", 14: "icon group", 16: "version", 24: "manifest"}
# Input sections that end up in the file, by the output section they go to.
LOADED = (".text", ".data", ".rdata", ".pdata", ".xdata", ".CRT", ".tls", ".ctors", ".dtors")
GROUPS = [  # (name, test on the archive or object file name)
    ("our code: toolkit", lambda f: f == "libtoolkit.a"),
    ("our code: updater (app, target, update, imaging)",
     lambda f: f in ("libsoranote.a", "SoranoteUpdater.cpp.obj", "NoDemangler.cpp.obj")),
    ("libstdc++", lambda f: f in ("libstdc++.a", "libsupc++.a")),
    ("libjpeg", lambda f: f == "libjpeg.a"),
    ("zlib", lambda f: f == "libz.a"),
    ("C runtime start-up, libgcc, winpthreads, stack protector",
     lambda f: f in ("libmingw32.a", "libmingwex.a", "libmsvcrt.a", "libgcc.a", "libgcc_eh.a", "libpthread.a",
                     "libssp.a", "libssp_nonshared.a")
     or f.startswith("crt")),
]


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise SystemExit("weight: not a PE file")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 4 + 2)
        optional = pe + 24
        self.header_size = struct.unpack_from("<I", data, optional + 60)[0]
        directories = optional + 112  # PE32+
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode()
            vsize, va, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((name, va, vsize, raw_at, raw_size))

    def section(self, name):
        return next((s for s in self.sections if s[0] == name), None)

    def offset(self, rva):
        for _, va, vsize, raw_at, raw_size in self.sections:
            if va <= rva < va + max(vsize, raw_size):
                return raw_at + rva - va
        raise SystemExit("weight: address outside every section")

    def resources(self):
        """(type, name, size) of every resource."""
        rva, size = self.directories[2]
        if not size:
            return []
        base = self.offset(rva)

        def entries(at):
            named, numbered = struct.unpack_from("<12xHH", self.data, base + at)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, base + at + 16 + 8 * i)
                if key & 0x80000000:
                    length = struct.unpack_from("<H", self.data, base + (key & 0x7FFFFFFF))[0]
                    start = base + (key & 0x7FFFFFFF) + 2
                    key = self.data[start:start + 2 * length].decode("utf-16-le")
                yield key, target

        found = []
        for kind, at in entries(0):
            for name, at2 in entries(at & 0x7FFFFFFF):
                for _, leaf in entries(at2 & 0x7FFFFFFF):
                    found.append((kind, name, struct.unpack_from("<4xI", self.data, base + leaf)[0]))
        return found


def map_sizes(path):
    """Bytes of loaded input sections by (library or object file, member)."""
    sizes = collections.Counter()
    thunks = 0
    started = False
    pending = None
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if line.startswith("Linker script and memory map"):
            started = True
            continue
        if not started:
            continue
        m = re.match(r"^ (\.\S+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
        if m:
            section, size, source = m.groups()
        else:
            m = re.match(r"^ (\.\S+)$", line)  # a long name: address, size and file on the next line
            if m:
                pending = m.group(1)
                continue
            m = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if not (m and pending):
                pending = None
                continue
            section, (size, source) = pending, m.groups()
            pending = None
        size = int(size, 16)
        if not section.startswith(LOADED) or not size:
            continue
        if "(" in source:
            library, member = source.split("(", 1)
            library, member = library.rsplit("/", 1)[-1], member.rstrip(")")
        else:
            library, member = source.rsplit("/", 1)[-1], ""
        if re.search(r"s\d+\.o$", member):
            thunks += size  # an import library's jump to a DLL function
            continue
        sizes[(library, member)] += size
    return sizes, thunks


def kb(n):
    return f"{n:>11,} bytes  {n / 1000:8.1f} KB"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("map")
    parser.add_argument("--members", type=int, default=0)
    parser.add_argument("--summary", action="store_true")
    args = parser.parse_args()

    data = open(args.exe, "rb").read()
    pe = Pe(data)
    resources = pe.resources()
    payload = sum(size for _, name, size in resources if name == PAYLOAD)
    own = len(data) - payload
    if args.summary:
        print(f"{own} {payload}")
        return

    sizes, import_thunks = map_sizes(args.map)
    groups = collections.OrderedDict((name, 0) for name, _ in GROUPS)
    members = collections.defaultdict(collections.Counter)
    other = collections.Counter()
    for (library, member), size in sizes.items():
        group = next((name for name, test in GROUPS if test(library)), None)
        if group:
            groups[group] += size
            members[group][member or library] += size
        else:
            other[library] += size
    code = sum(groups.values()) + sum(other.values())

    rsrc = pe.section(".rsrc")
    named = [(kind, name, size) for kind, name, size in resources if name != PAYLOAD]
    resource_bytes = sum(size for _, _, size in named)
    idata = pe.section(".idata")
    reloc = pe.section(".reloc")
    security = pe.directories[4][1]  # the certificate table: its offset is a file offset, not an address

    print(f"{args.exe}: {kb(len(data))}")
    print(f"  payload ({PAYLOAD})                          {kb(payload)}")
    print(f"  the program's own weight                     {kb(own)}")
    print("code and data, by library")
    for name, size in groups.items():
        print(f"  {name:<47}{kb(size)}")
        for member, msize in members[name].most_common(args.members):
            print(f"      {member:<43}{kb(msize)}")
    for library, size in other.most_common():
        print(f"  {library:<47}{kb(size)}")
    print(f"  {'all code and data':<47}{kb(code)}")
    print("resources, by name")
    for kind, name, size in sorted(named, key=lambda r: -r[2]):
        label = f"{name} ({RESOURCE_TYPES.get(kind, kind)})"
        print(f"  {label:<47}{kb(size)}")
    directory = (rsrc[4] if rsrc else 0) - resource_bytes - payload
    print(f"  {'resource directory and alignment':<47}{kb(directory)}")
    print("the rest")
    import_bytes = (idata[4] if idata else 0) + import_thunks
    print(f"  {'import tables':<47}{kb(import_bytes)}")
    print(f"  {'relocations':<47}{kb(reloc[4] if reloc else 0)}")
    if security:
        print(f"  {'signature':<47}{kb(security)}")
    accounted = code + resource_bytes + payload + directory + import_bytes + (reloc[4] if reloc else 0) + security
    print(f"  {'headers and section alignment':<47}{kb(len(data) - accounted)}")


if __name__ == "__main__":
    sys.exit(main())
