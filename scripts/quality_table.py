#!/usr/bin/env python3
"""Prints the quality table from the logs scripts/quality.sh leaves in a folder, as Markdown.

Exit code 1 when a benchmark failed, the mutation runner found a crash, a hang or a leak, or
a long loop leaked a GDI object or a window (or could not run); else 0.
"""
import datetime
import os
import platform
import re
import subprocess
import sys

# What each benchmark's ratios compare, in the order it prints them. A benchmark not named
# here is shown with the text its ratios come with.
BENCHES = {
    "inflate_bench": ("container reader", ["DecompressToStream / zlib uncompress, each into memory used again",
                                           "DecompressToStream / zlib uncompress, each into fresh memory"]),
    "update_bench": ("update", ["start to replaced file / uncompress + write + flush",
                                "the same with the update dialog on the screen"]),
    "startup_bench": ("start-up", ["start to visible window / a bare Win32 window"]),
    "repaint_bench": ("repaint", ["main window invalidated and painted / a plain blit of the logo"]),
    "safety_bitmap_bench": ("transparent drawing", ["logo drawn transparently / two plain StretchBlt calls",
                                                    "first transparent drawing / a warm one",
                                                    "loading the logo as CBM / as plain BMP",
                                                    "loading the logo as CBM / plain BMP + uncompress of its bytes"]),
    "dibitmap_bench": ("DIB loading", ["4,000 x 3,000 file loaded / bytes read + section made",
                                       "drawn at 1/4, StretchDIBits / one plain StretchDIBits",
                                       "drawn at 1/4, blit / one plain StretchDIBits"]),
    "jpeg_bench": ("JPEG decoding", ["baseline logo, DecodeJpeg / libjpeg's own loop",
                                     "progressive logo, DecodeJpeg / libjpeg's own loop"]),
    "resource_picture_bench": ("picture loading", ["logo from the own resources / raw resource to DIB section",
                                                   "logo from an Image.res / its entry to DIB section"]),
    "memory_stream_bench": ("memory stream", ["16 MiB in 60 KiB pieces / one memcpy",
                                              "64 MiB in 60 KiB pieces / one memcpy",
                                              "128 MiB in 60 KiB pieces / one memcpy"]),
}
ORDER = ["inflate_bench", "update_bench", "startup_bench", "repaint", "safety_bitmap_bench", "picture",
         "dibitmap_bench", "jpeg_bench", "memory_stream_bench"]
NUMBER = r"([0-9]+(?:\.[0-9]+)?)"


def read(folder, name):
    path = os.path.join(folder, name)
    return open(path, encoding="utf-8", errors="replace").read().replace("\r", "") if os.path.exists(path) else ""


def exit_status(text):
    m = re.search(r"^exit (\d+)$", text, re.M)
    return int(m.group(1)) if m else -1


def ratios(text):
    """(text it comes with, value) of every ratio a benchmark prints: 'ratio ...: x' lines, and
    the last column of tables whose heading ends in 'ratio'."""
    found = []
    table = False
    for line in text.splitlines():
        if re.match(r"^exit -?\d+$", line):  # written by quality.sh after the benchmark's own output
            break
        m = re.search(r"\bratio\b([^:]*):\s*" + NUMBER + r"(\s+\(middle half [^)]*\))?", line)
        if m:
            value = m.group(2) + (" " + m.group(3).strip() if m.group(3) else "")  # with its spread
            found.append((line[:m.start()].strip(" :") or ("ratio" + m.group(1)).strip(), value))
            table = False
            continue
        if re.search(r"\bratio\s*$", line):
            table = True
            continue
        m = re.match(r"^\s*(.*?)\s+" + NUMBER + r"\s*$", line) if table else None
        if m and re.search(r"\d", line):
            found.append((m.group(1).split("  ")[0].strip(), m.group(2)))
        elif table and line.strip():
            table = False
    return found


def bench_rows(folder):
    rows, bad = [], []
    names = sorted(f[:-4] for f in os.listdir(folder) if f.endswith("_bench.log"))
    names.sort(key=lambda n: next((i for i, key in enumerate(ORDER) if key in n), len(ORDER)))
    for name in names:
        text = read(folder, name + ".log")
        what, labels = BENCHES.get(name, (name.replace("_bench", "").replace("_", " "), []))
        found = ratios(text)
        if exit_status(text) != 0 or not found:
            bad.append(name)
            rows.append((what, f"{name} failed (exit {exit_status(text)})", "FAILED"))
            continue
        for i, (context, value) in enumerate(found):
            label = labels[i] if len(labels) == len(found) else context
            rows.append((what, label, value))
    return rows, bad


def weight_rows(folder):
    text = read(folder, "release.log")
    m = re.search(r"size (\d+) bytes, payload (\d+) bytes, own weight (\d+) bytes", text)
    if not m:
        return [("release exe", "weight", "FAILED")], ["release"]
    size, payload, own = (int(x) for x in m.groups())
    parts = []
    for label, pattern in [("code and data", r"all code and data\s+([\d,]+) bytes"),
                           ("LOGO", r"LOGO \(bitmap\)\s+([\d,]+) bytes")]:
        p = re.search(pattern, text)
        if p:
            parts.append(f"{label} {int(p.group(1).replace(',', '')) / 1000:.1f} KB")
    return [("release exe", "own weight, payload excluded (goal <= 600 KB)",
             f"{own:,} bytes = {own / 1000:.1f} KB ({', '.join(parts)})"),
            ("release exe", "whole file, with the stand-in payload", f"{size:,} bytes (payload {payload:,})")], []


def fuzz_rows(folder):
    """One runner per format (fuzz-<format>.log); every format named in fuzz-formats.txt must
    have its line."""
    formats = read(folder, "fuzz-formats.txt").split()
    rows, bad = [], []
    if not formats:
        return [("mutation runner", "formats", "FAILED: none found")], ["mutation runner"]
    for name in formats:
        text = read(folder, f"fuzz-{name}.log")
        # format, inputs, corpus, kept, edges, crashes, hangs, leaks, seconds
        m = re.search(r"^" + re.escape(name) + r"\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+([\d.]+)\s*$",
                      text, re.M)
        if not m or exit_status(text) < 0:
            rows.append(("mutation runner", name, f"FAILED (exit {exit_status(text)})"))
            bad.append(name)
            continue
        inputs, corpus, _, edges, crashes, hangs, leaks = (int(x) for x in m.groups()[:7])
        rows.append(("mutation runner", name,
                     f"{inputs:,} inputs: {crashes} crashes, {hangs} hangs, {leaks} leaks; corpus {corpus:,}, "
                     f"{edges:,} edges ({float(m.group(8)):.0f} s)"))
        if crashes or hangs or leaks or exit_status(text) != 0:
            bad.append(name)
    return rows, bad


def soak_rows(folder):
    text = read(folder, "gui_soak.log")
    rows, bad = [], []
    pattern = r"^(.+?)\s+(\d+)\s+(-?\d+) -> (-?\d+)\s+(\d+) -> (\d+)\s+(\d+) -> (\d+)\s+(\S.*)$"
    for m in re.finditer(pattern, text, re.M):
        name, runs, g0, g1, t0, t1, c0, c1, verdict = m.groups()
        rows.append(("GDI objects, windows", f"{name} x {int(runs):,}",
                     f"GDI {g0} -> {g1}, top-level {t0} -> {t1}, child {c0} -> {c1}: {verdict}"))
        if verdict != "ok":
            bad.append(name)
    for m in re.finditer(r"^(.+?)\s+failed on its first run$", text, re.M):
        rows.append(("GDI objects, windows", m.group(1), "FAILED on its first run"))
    if exit_status(text) != 0 or not rows:
        bad.append("long loops")
        if not rows:
            rows.append(("GDI objects, windows", "long loops", f"FAILED (exit {exit_status(text)})"))
    return rows, bad


def machine():
    cpu = ""
    try:
        cpu = next(line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name"))
    except (OSError, StopIteration):
        cpu = platform.processor()
    try:
        wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    except OSError:
        wine = "wine ?"
    distro = ""
    try:
        distro = next(line.split("=", 1)[1].strip().strip('"') for line in open("/etc/os-release")
                      if line.startswith("PRETTY_NAME="))
    except (OSError, StopIteration):
        pass
    return f"{cpu}, {os.cpu_count()} cores, {distro}, {wine}"


def main():
    folder = sys.argv[1]
    rows, bad = [], []
    for part in (bench_rows, weight_rows, fuzz_rows, soak_rows):
        r, b = part(folder)
        rows += r
        bad += b
    today = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d")
    print(f"Measured {today} on {machine()}.")
    print()
    print("| what | measure | figure |")
    print("|---|---|---|")
    for what, measure, figure in rows:
        print(f"| {what} | {measure} | {figure} |")
    print()
    if bad:
        print("FAILED: " + ", ".join(bad))
        return 1
    print("No crash, hang or leak.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
