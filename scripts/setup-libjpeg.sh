#!/usr/bin/env bash
# Builds libjpeg for MinGW-w64 once, as a static library, from the Debian libjpeg-turbo source
# package, into a cache outside the repository; quick when it is already there.
#   cache:   $SORANOTE_CACHE, else $HOME/.cache/soranote (CMakeLists.txt looks in the same place)
#   result:  <cache>/libjpeg-turbo-mingw64/{include,lib/libjpeg.a,LICENSE.md,README.ijg,VERSION}
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${SORANOTE_CACHE:-$HOME/.cache/soranote}
prefix=$cache/libjpeg-turbo-mingw64
[ -f "$prefix/VERSION" ] && exit 0

mkdir -p "$cache"
exec 9>"$cache/.libjpeg.lock"
flock 9
[ -f "$prefix/VERSION" ] && exit 0   # another set-up finished it while we waited

# apt-get source needs a deb-src entry. When there is none, one is derived from the machine's own
# entries for its Debian suite, so the sources come from wherever its binary packages come from.
if ! apt-get indextargets 'Created-By: Sources' | grep -q .; then
  echo "setup: adding deb-src entries for the machine's own Debian suite"
  python3 - <<'PY'
import glob, os, re

codename = ""
for line in open("/etc/os-release", encoding="utf-8"):
    if line.startswith("VERSION_CODENAME="):
        codename = line.split("=", 1)[1].strip().strip('"')

def own_suite(suites):
    return any(s == codename or s.startswith(codename + "-") for s in suites) if codename else True

def one_line_entries():
    files = ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list"))
    found = []
    for path in files:
        if not os.path.isfile(path):
            continue
        for line in open(path, encoding="utf-8"):
            m = re.match(r"\s*deb\s+(\[[^\]]*\]\s+)?(\S+)\s+(\S+)(.*)", line)
            if m:
                found.append((m.group(3), "deb-src " + (m.group(1) or "") + m.group(2) + " " + m.group(3) + m.group(4).rstrip()))
    return found

def deb822_stanzas():
    found = []
    for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
        if os.path.basename(path) == "soranote-deb-src.sources":
            continue
        text = open(path, encoding="utf-8").read()
        for block in re.split(r"\n\s*\n", text):
            fields, last = [], None
            for line in block.splitlines():
                if line.startswith("#"):
                    continue
                if line[:1] in (" ", "\t") and last is not None:
                    fields[-1][1].append(line)
                elif ":" in line:
                    key, value = line.split(":", 1)
                    fields.append((key.strip(), [value.strip()]))
                    last = key
            values = {k.lower(): v for k, v in fields}
            if "deb" not in values.get("types", [""])[0].split():
                continue
            if values.get("enabled", ["yes"])[0].lower() == "no":
                continue
            out = ["Types: deb-src"]
            for key, value in fields:
                if key.lower() not in ("types", "architectures"):
                    out.append(key + ": " + value[0])
                    out.extend(value[1:])
            found.append((values.get("suites", [""])[0].split(), "\n".join(out)))
    return found

lines, stanzas = one_line_entries(), deb822_stanzas()
own = [l for s, l in lines if own_suite([s])] + [t for s, t in stanzas if own_suite(s)]
if not own:
    own = [l for _, l in lines] + [t for _, t in stanzas]
one = [e for e in own if e.startswith("deb-src ")]
multi = [e for e in own if not e.startswith("deb-src ")]
if one:
    open("/etc/apt/sources.list.d/soranote-deb-src.list", "w").write("\n".join(one) + "\n")
if multi:
    open("/etc/apt/sources.list.d/soranote-deb-src.sources", "w").write("\n\n".join(multi) + "\n")
if not own:
    raise SystemExit("setup: no apt source entry to derive a deb-src entry from")
PY
  apt-get update -q
fi
if ! apt-get source --print-uris -qq libjpeg-turbo >/dev/null 2>&1; then
  apt-get update -q
fi

work=$(mktemp -d "$cache/libjpeg-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
start=$(date +%s)
echo "setup: building libjpeg for MinGW-w64 into $prefix"
(cd "$work" && apt-get source -q libjpeg-turbo >/dev/null 2>"$work/apt-source.log") || {
  cat "$work/apt-source.log" >&2; exit 1; }
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
[ -n "$src" ] || { echo "setup: apt-get source gave no libjpeg-turbo tree" >&2; exit 1; }
# Static library only, no SIMD (no assembler needed), none of the tools or the TurboJPEG API.
cmake -S "$src" -B "$work/build" -G Ninja -Wno-dev \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
      -DWITH_JAVA=OFF -DCMAKE_INSTALL_PREFIX="$work/unused" >"$work/configure.log" || { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" --target jpeg-static >"$work/build.log" || { cat "$work/build.log" >&2; exit 1; }

stage=$work/prefix
mkdir -p "$stage/include" "$stage/lib"
cp "$work/build/libjpeg.a" "$stage/lib/"
cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$work/build/jconfig.h" "$stage/include/"
# The licence travels with the library it covers.
cp "$src/LICENSE.md" "$src/README.ijg" "$stage/"
dsc=$(find "$work" -maxdepth 1 -name '*.dsc' | head -n 1)
basename "${dsc:-$src}" .dsc >"$stage/VERSION"
rm -rf "$prefix"
mv "$stage" "$prefix"
echo "setup: libjpeg built in $(($(date +%s) - start)) s"
