#!/usr/bin/env python3
"""Packs a product executable for the updater.

  pack_payload.py product PRODUCT.exe DECLARED CONTAINER_OUT RECORD_OUT VERSION_HEADER_OUT
  pack_payload.py container FILE CONTAINER_OUT

Writes the "ZLIBCompress" container (12-byte magic, marker 0x1A, little-endian signed 32-bit
inflated length, then one zlib stream at the highest level, so it begins 78 DA). For a product
it first checks the executable (tools/payload_info.py: refused with one line naming the reason)
and then writes the 8-byte update version record (major, minor * 10 + release; little-endian
signed 32-bit) from its own product version, and the header that gives the updater's own
version resource the same version. DECLARED is the version the release engineer expects, or
an empty argument. The updater only ever inflates; this is the one place that compresses.
"""
import os
import struct
import sys
import zlib

import payload_info

MAGIC = b"ZLIBCompress\x1a"


def container(data: bytes) -> bytes:
    return MAGIC + struct.pack("<i", len(data)) + zlib.compress(data, 9)


def write(path, data):
    # Written whole or not at all: a failed run leaves no half file for the next build to take.
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


def version_header(product) -> bytes:
    text = payload_info.dotted(product)
    return ("// Written by tools/pack_payload.py: the updater's own version is its payload's.\n"
            f"#define SORANOTE_UPDATE_VERSION_COMMAS {text.replace('.', ',')}\n"
            f"#define SORANOTE_UPDATE_VERSION_TEXT \"{text}\"\n").encode()


def main(argv):
    if len(argv) == 4 and argv[1] == "container":
        with open(argv[2], "rb") as f:
            write(argv[3], container(f.read()))
        return 0
    if len(argv) != 7 or argv[1] != "product":
        sys.exit(__doc__)
    product, declared, container_out, record_out, header_out = argv[2:]
    try:
        info = payload_info.check(product, declared or None)
    except payload_info.Refused as e:
        print(f"payload: {e}", file=sys.stderr)
        return 1
    with open(product, "rb") as f:
        write(container_out, container(f.read()))
    write(record_out, struct.pack("<ii", *info["update"]))
    write(header_out, version_header(info["product"]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
