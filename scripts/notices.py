#!/usr/bin/env python3
"""THIRD-PARTY-NOTICES.txt for SoranoteUpdater.exe: the notices of exactly what the linker put
into it, found in its link map.

Usage: notices.py MAP NOTICES_DIR OUT

Every library or object file that gave the exe code or data (scripts/weight.py reads the map),
and every archive the linker took a member of (import libraries too), is either our own or must
be covered by a rule below; one that is neither stops the release
with its name, so a new library never ships without its notice. Each notice (NOTICES_DIR/<name>.txt)
is written once, with the libraries it covers.
"""
import collections
import re
import sys

from weight import map_sizes

OWN = re.compile(r"^(libtoolkit\.a|libsoranote\.a|.*\.cpp\.obj|.*\.rc\.(res|obj))$")
# The mingw-w64 C runtime's number conversion comes from gdtoa, under a licence of its own.
GDTOA = re.compile(r"(gdtoa|dtoa|gethex|gmisc|g__fmt|g_dfmt|g_ffmt|g_xfmt|hd_init|hexnan|misc|smisc|"
                   r"strtod|strtodg|strtof|strtopx|sum|ulp|qnan|mingw_pformat)\.o$")
# (notice, library pattern, member pattern or None)
RULES = [
    ("gdtoa", re.compile(r"^libmingwex\.a$"), GDTOA),
    ("gcc-runtime", re.compile(r"^(libstdc\+\+|libsupc\+\+|libgcc|libgcc_eh|libssp|libssp_nonshared)\.a$|"
                               r"^crt(begin|end)\.o$"), None),
    ("zlib", re.compile(r"^libz\.a$"), None),
    ("winpthreads", re.compile(r"^lib(win)?pthread\.a$"), None),
    # Start-up objects, the C runtime's support libraries and the import libraries of Windows DLLs.
    ("mingw-w64-runtime", re.compile(r"^(crt2u?|dllcrt2|crtexewin|txtmode|binmode)\.o$|"
                                     r"^lib(mingw32|mingwex|msvcrt|moldname|kernel32|user32|gdi32|advapi32|shell32|"
                                     r"comctl32|comdlg32|ole32|oleaut32|winspool|uuid|version)\.a$"), None),
]


def taken_members(map_path):
    """(archive, member) of every member the linker took, from the map's first section."""
    taken = set()
    for line in open(map_path, encoding="utf-8", errors="replace"):
        if line.startswith("Discarded input sections"):
            break
        m = re.match(r"^(\S+?\.a)\(([^)]+)\)", line)
        if m:
            taken.add((m.group(1).rsplit("/", 1)[-1], m.group(2)))
    return taken


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    map_path, folder, out = argv[1:]
    sizes, _ = map_sizes(map_path)
    covered = collections.defaultdict(set)
    unknown = []
    for library, member in set(sizes) | taken_members(map_path):
        if OWN.match(library):
            continue
        name = next((n for n, lib, mem in RULES if lib.match(library) and (mem is None or mem.search(member))), None)
        if name:
            covered[name].add(library)
        else:
            unknown.append(f"{library}({member})" if member else library)
    if unknown:
        print("notices: no notice is known for " + ", ".join(sorted(unknown)) +
              ": add its licence to resources/notices/ and a rule to scripts/notices.py", file=sys.stderr)
        return 1
    parts = ["SoranoteUpdater.exe contains, besides its own code, parts of the following libraries.\n"
             "Their notices follow, each with the libraries of this program it covers.\n"]
    for name, _, _ in RULES:
        if name in covered:
            text = open(f"{folder}/{name}.txt", encoding="utf-8").read()
            parts.append("=" * 78 + "\n" + f"In this program: {', '.join(sorted(covered[name]))}\n\n" + text)
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(parts))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
