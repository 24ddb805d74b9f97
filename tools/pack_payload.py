#!/usr/bin/env python3
"""Packs a product executable for the updater.

Writes the "ZLIBCompress" container (12-byte magic, marker 0x1A, little-endian signed 32-bit
inflated length, then one zlib stream at the highest level, so it begins 78 DA) and the
8-byte update version record (major, minor * 10 + release; little-endian signed 32-bit).
The updater only ever inflates; this is the one place that compresses.
"""
import struct
import sys
import zlib

MAGIC = b"ZLIBCompress\x1a"


def container(data: bytes) -> bytes:
    return MAGIC + struct.pack("<i", len(data)) + zlib.compress(data, 9)


def version_record(version: str) -> bytes:
    parts = [int(p) for p in version.split(".")]
    parts += [0] * (4 - len(parts))
    major, minor, release = parts[0], parts[1], parts[2]
    return struct.pack("<ii", major, minor * 10 + release)


def main(argv):
    if len(argv) != 5:
        sys.exit("usage: pack_payload.py PRODUCT.exe VERSION CONTAINER_OUT VERSION_RECORD_OUT")
    product, version, container_out, record_out = argv[1:]
    with open(product, "rb") as f:
        data = f.read()
    if not data:
        sys.exit(f"pack_payload.py: {product} is empty")
    with open(container_out, "wb") as f:
        f.write(container(data))
    with open(record_out, "wb") as f:
        f.write(version_record(version))


if __name__ == "__main__":
    main(sys.argv)
