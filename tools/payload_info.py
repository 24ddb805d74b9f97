#!/usr/bin/env python3
"""What a product executable is, read as the updater reads an installed product, and whether
it may be packed as the update payload.

Usage: payload_info.py PAYLOAD [--declared VERSION] [--summary | --facts]
       payload_info.py --updater EXE

The version is the product version of the fixed version block (VS_FIXEDFILEINFO) of the
version resource with id 1, as the platform's version functions find it for the updater's
installed-version reader: major = HIWORD(dwProductVersionMS), minor = LOWORD(dwProductVersionMS),
release = HIWORD(dwProductVersionLS); the update version is (major, minor * 10 + release) and the
build number takes no part. A payload that is refused gets one line on standard error naming
the reason, and exit status 1. --summary prints what the release summary shows; --facts prints
"major composite product-version"; --updater prints the same of a built updater (its update
version record and its own product version), then its own file version and its
DllCharacteristics in hex.

The PE structure is read by pefile (Debian's python3-pefile); the fixed block is found in the
resource's bytes here, by the same rules as the updater's reader (a value of at least 52 bytes
after the root key, with the block's signature).
"""
import argparse
import hashlib
import os
import re
import struct
import sys

try:
    import pefile
except ImportError:
    sys.exit("payload: the PE reader pefile is missing: run scripts/setup.sh (Debian package python3-pefile)")

# The container's declared length is a signed 32-bit number.
CONTAINER_LIMIT = 2**31 - 1
MACHINES = {0x8664: "x64", 0x14C: "x86 (i386)"}
OPTIONAL_MAGIC = {0x8664: 0x20B, 0x14C: 0x10B}
SUBSYSTEMS = {2: "GUI", 3: "console"}
RT_VERSION, RT_RCDATA = 16, 10
FIXED_SIGNATURE = 0xFEEF04BD
FIXED_SIZE = 52
CANNOT_UPDATE = "このソラノートを、アップデートすることはできません"


class Refused(Exception):
    pass


def dotted(v):
    return ".".join(str(n) for n in v)


def fixed_block(resource):
    """(product version, file version) of a version resource, or None where the updater's
    reader finds no fixed block: the value after the root block's key, 32-bit aligned, at
    least 52 bytes long and starting with the block's signature."""
    if len(resource) < 6:
        return None
    value_length = struct.unpack_from("<H", resource, 2)[0]
    at = 6
    while at + 1 < len(resource) and resource[at:at + 2] != b"\0\0":
        at += 2
    at = (at + 2 + 3) & ~3
    if value_length < FIXED_SIZE or at + FIXED_SIZE > len(resource):
        return None
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", resource, at)
    if signature != FIXED_SIGNATURE:
        return None

    def split(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    return split(product_ms, product_ls), split(file_ms, file_ls)


def resources(pe, kind, name):
    """The bytes of every language of resource (kind, name); name is an id, or a text matched
    without regard to case."""
    def matches(entry):
        if isinstance(name, int):
            return entry.id == name
        return entry.name is not None and str(entry.name).upper() == name.upper()

    found = []
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for entry in root.entries if root else []:
        if entry.id != kind or not hasattr(entry, "directory"):
            continue
        for named in entry.directory.entries:
            if not matches(named) or not hasattr(named, "directory"):
                continue
            for language in named.directory.entries:
                data = language.data.struct
                found.append(pe.get_data(data.OffsetToData, data.Size))
    return found


def open_pe(path):
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except (pefile.PEFormatError, struct.error) as e:
        raise Refused(f"{path} is not a Windows executable ({e})")
    return pe


def strings(pe):
    """ProductName and FileDescription of the version resource's first string table."""
    out = {}
    for group in getattr(pe, "FileInfo", []):
        for info in group:
            for table in getattr(info, "StringTable", []):
                for key in (b"ProductName", b"FileDescription"):
                    if key in table.entries and key.decode() not in out:
                        out[key.decode()] = table.entries[key].decode("utf-8", "replace")
    return out


def parse_declared(text):
    if not re.fullmatch(r"\d+\.\d+\.\d+(\.\d+)?", text) or any(int(p) > 0xFFFF for p in text.split(".")):
        raise Refused(f"SORANOTE_PAYLOAD_VERSION={text} is not a version (major.minor.release[.build], each 0-65535)")
    return tuple(int(p) for p in text.split("."))


def check(path, declared=None):
    """What the payload is; raises Refused with the reason when it may not be packed."""
    wanted = parse_declared(declared) if declared else None
    if not os.path.isfile(path):
        raise Refused(f"{path} does not exist or is not a file")
    size = os.path.getsize(path)
    if size == 0:
        raise Refused(f"{path} is empty")
    if size > CONTAINER_LIMIT:
        raise Refused(f"{path} is {size:,} bytes, more than the container can declare ({CONTAINER_LIMIT:,} bytes, "
                      "a signed 32-bit length)")
    pe = open_pe(path)
    machine = pe.FILE_HEADER.Machine
    if machine not in MACHINES:
        raise Refused(f"{path} is a Windows executable for machine type 0x{machine:x}; "
                      "the updater carries x64 (0x8664) or x86 (0x14c) programs only")
    if pe.OPTIONAL_HEADER.Magic != OPTIONAL_MAGIC[machine]:
        raise Refused(f"{path} has an optional header of kind 0x{pe.OPTIONAL_HEADER.Magic:x}, "
                      f"not the one of its machine type 0x{machine:x}")
    characteristics = pe.FILE_HEADER.Characteristics
    if characteristics & 0x2000 or not characteristics & 0x0002:
        raise Refused(f"{path} is a DLL or an image that cannot run, not a program")
    subsystem = pe.OPTIONAL_HEADER.Subsystem
    if subsystem not in SUBSYSTEMS:
        raise Refused(f"{path} is for Windows subsystem {subsystem}; a GUI (2) or console (3) program is expected")
    blocks = {b for b in (fixed_block(r) for r in resources(pe, RT_VERSION, 1)) if b}
    if not blocks:
        raise Refused(f"{path} has no version resource with a fixed version block (VS_FIXEDFILEINFO); installed, "
                      f"every later updater would say \"{CANNOT_UPDATE}\"")
    if len({product for product, _ in blocks}) > 1:
        raise Refused(f"{path} has version resources in several languages with different product versions "
                      f"({', '.join(sorted(dotted(p) for p, _ in blocks))}); which one Windows reads depends "
                      "on the user's language")
    product, file = blocks.pop()
    major, minor, release, _ = product
    if major == 0:
        raise Refused(f"{path} has product version {dotted(product)}: the updater reads a product without a "
                      "version as major version 0, so it could not tell this one from an unversioned file")
    if release >= 10:
        raise Refused(f"{path} has product version {dotted(product)}: a release number of 10 or more gives the "
                      f"composite minor {minor * 10 + release} (minor * 10 + release), the same as "
                      f"{major}.{minor + release // 10}.{release % 10}, so the version gate could not tell them apart")
    if wanted and tuple(product[:len(wanted)]) != wanted:
        raise Refused(f"SORANOTE_PAYLOAD_VERSION is {declared} but {path} has product version {dotted(product)}: "
                      "leave the variable out to take the payload's version, or pack the right file")
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[4]
    return {
        "path": path, "size": size, "machine": machine, "subsystem": subsystem,
        "product": product, "file": file, "strings": strings(pe),
        "update": (major, minor * 10 + release),
        "certificate_table": security.Size > 0,
    }


def summary(info, data):
    major, composite = info["update"]
    lines = [
        f"payload: {info['path']}",
        f"payload: {MACHINES[info['machine']]} {SUBSYSTEMS[info['subsystem']]} program "
        f"(machine 0x{info['machine']:x}), {info['size']:,} bytes, SHA-256 {hashlib.sha256(data).hexdigest()}",
        f"payload: product version {dotted(info['product'])}, file version {dotted(info['file'])}; "
        f"update version record ({major}, {composite}), title ソラノート{major}.0{composite}アップデーター",
    ]
    for key in ("ProductName", "FileDescription"):
        if key in info["strings"]:
            lines.append(f"payload: {key} {info['strings'][key]}")
    return "\n".join(lines)


def updater(path):
    """The update version record and the own product and file versions of a built updater."""
    pe = open_pe(path)
    record = resources(pe, RT_RCDATA, "UPDATEVERSION")
    blocks = [b for b in (fixed_block(r) for r in resources(pe, RT_VERSION, 1)) if b]
    if len(record) != 1 or len(record[0]) != 8 or len(blocks) != 1:
        raise Refused(f"{path} does not carry one update version record and one version resource")
    return struct.unpack("<ii", record[0]), blocks[0][0], blocks[0][1], pe.OPTIONAL_HEADER.DllCharacteristics


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("payload", nargs="?")
    parser.add_argument("--declared", default="")
    parser.add_argument("--summary", action="store_true")
    parser.add_argument("--facts", action="store_true")
    parser.add_argument("--updater")
    args = parser.parse_args()
    try:
        if args.updater:
            (major, composite), product, file, dll = updater(args.updater)
            print(f"{major} {composite} {dotted(product)} {dotted(file)} {dll:#x}")
            return 0
        info = check(args.payload, args.declared or None)
    except Refused as e:
        print(f"payload: {e}", file=sys.stderr)
        return 1
    if args.summary:
        with open(args.payload, "rb") as f:
            print(summary(info, f.read()))
    elif args.facts:
        print(*info["update"], dotted(info["product"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
