#!/usr/bin/env python3
"""Prints the coverage tables of scripts/coverage.sh from gcovr's JSON summary.

coverage_table.py SUMMARY tests   per folder, then per file
coverage_table.py SUMMARY fuzz    per reader of outside data (the files the mutation runner's
                                  formats read with), then per folder and per file
"""
import json
import sys

FOLDERS = ["app", "target", "update", "imaging", "toolkit/core", "toolkit/graphics", "toolkit/windows"]

# The units that read each format of the mutation runner (tests/fuzz/targets/FuzzTargets.cpp).
# A unit that also writes or draws counts whole: its writing and drawing run too, since the
# runner's targets store and draw what they read.
READERS = [
    ("ZLIBCompress", ["update/UZLIB.cpp"]),
    ("JPEG", ["toolkit/graphics/JpegDecoder.cpp"]),
    ("JPEGImage", ["toolkit/graphics/JpegImage.cpp"]),
    ("BMP", ["toolkit/graphics/BitmapFile.cpp"]),
    ("StoredForm", ["toolkit/core/StoredFormReader.cpp"]),
    ("RiffPalette", ["imaging/UDrawSupport.cpp"]),
    ("Icon", ["toolkit/graphics/Icon.cpp"]),
    ("Metafile", ["toolkit/graphics/Metafile.cpp", "toolkit/graphics/MetafileRecords.cpp"]),
    ("ImageRes", ["imaging/UResStream.cpp"]),
    ("SafetyBitmap", ["imaging/USafetyBitmap.cpp", "imaging/USafetyBitmapFiles.cpp"]),
    ("PackedDIB, DIBitmapFile, DIBitmapStored",
     ["imaging/UDIBitmap.cpp", "imaging/UDIBitmapStreams.cpp", "imaging/UDIBitmapRunLengths.cpp"]),
    ("BitmapResource", ["imaging/UPictureEX.cpp"]),
    ("PEImage", ["target/PeImage.cpp"]),
]


def share(covered, total):
    return f"{100.0 * covered / total:5.1f}%" if total else "    -"


def row(name, lines, lines_total, branches, branches_total, width):
    return (f"{name:<{width}} {lines:>6}/{lines_total:<6} {share(lines, lines_total)}   "
            f"{branches:>6}/{branches_total:<6} {share(branches, branches_total)}")


def header(title, width):
    return f"{title:<{width}} {'lines':>13} {'':6}   {'branches':>13}"


def main():
    summary = json.load(open(sys.argv[1]))
    mode = sys.argv[2] if len(sys.argv) > 2 else "tests"
    files = {f["filename"]: f for f in summary["files"]}

    def sums(names):
        picked = [files[n] for n in names if n in files]
        return (sum(f["line_covered"] for f in picked), sum(f["line_total"] for f in picked),
                sum(f["branch_covered"] for f in picked), sum(f["branch_total"] for f in picked))

    if mode == "fuzz":
        width = 40
        print(header("reader (format: units)", width))
        for fmt, units in READERS:
            missing = [u for u in units if u not in files]
            print(row(fmt, *sums(units), width) + (f"   (no data: {', '.join(missing)})" if missing else ""))
            for unit in units:
                if unit in files:
                    print(row("  " + unit, *sums([unit]), width))
        print()

    width = 48
    print(header("folder", width))
    for folder in FOLDERS:
        print(row(folder + "/", *sums([n for n in files if n.startswith(folder + "/")]), width))
    print(row("toolkit/ (all)", *sums([n for n in files if n.startswith("toolkit/")]), width))
    print(row("all five folders", *sums(list(files)), width))
    print()
    print(header("file", width))
    for name in sorted(files):
        print(row(name, *sums([name]), width))


if __name__ == "__main__":
    main()
