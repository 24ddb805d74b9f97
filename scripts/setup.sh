#!/usr/bin/env bash
# Installs what the build and the tests need, once; quick when everything is there.
#   packages: MinGW-w64 cross compilers, zlib for MinGW, Wine, Xvfb, fonts, ImageMagick, GoogleTest,
#             osslsigncode and openssl for signing, pefile to read the payload's version, clang for
#             the second compiler's warning check
#   the oldest osslsigncode of the machine's Debian suite beside the installed one (for the tests)
#   libjpeg for MinGW, built from Debian's source package into a cache (scripts/setup-libjpeg.sh)
#   the build's own Wine prefix with Japanese font substitutes (not with --no-wine-prefix)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-x86-64-dev libz-mingw-w64-dev wine wine64 xvfb xauth x11-utils
          fonts-ipafont-gothic fonts-wine imagemagick googletest cmake ninja-build python3 dpkg-dev
          osslsigncode openssl python3-pefile binutils clang
          g++-mingw-w64-i686-posix)  # the 32-bit stand-in product of the tests
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# The release is signed with whichever osslsigncode is installed; the tests sign with the oldest
# one Debian's suite has as well (Debian 12: 2.5), unpacked into the cache without installing it.
cache=${SORANOTE_CACHE:-$HOME/.cache/soranote}
oldest=$(apt-cache madison osslsigncode 2>/dev/null | awk -F' *[|] *' '$3 ~ /Packages$/ {print $2}' | sort -V | head -1)
if [ -n "$oldest" ] && [ "$oldest" != "$(dpkg-query -W -f='${Version}' osslsigncode)" ] &&
   [ ! -x "$cache/osslsigncode-$oldest/usr/bin/osslsigncode" ]; then
  echo "setup: unpacking osslsigncode $oldest into $cache/osslsigncode-$oldest"
  mkdir -p "$cache"
  fetch=$(mktemp -d)
  # (apt's own user cannot write into a private temporary folder, and says so: only shown on failure)
  (cd "$fetch" && apt-get download -q "osslsigncode=$oldest" >download.log 2>&1 &&
   dpkg -x osslsigncode_*.deb "$cache/osslsigncode-$oldest") ||
    { cat "$fetch/download.log" >&2; rm -rf "$fetch"; exit 1; }
  rm -rf "$fetch"
fi
bash "$root/scripts/setup-libjpeg.sh"
[ "${1:-}" = --no-wine-prefix ] && exit 0

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.soranote-ready-2" ]; then
  echo "setup: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$build"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # The layouts ask for the Japanese Windows fonts; IPA Gothic stands in for them.
  reg=$(mktemp --suffix=.reg)
  python3 - "$reg" <<'PY'
import sys
lines = ["Windows Registry Editor Version 5.00", "",
         r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
for face, sub in [("ＭＳ Ｐゴシック", "IPAPGothic"), ("ＭＳ ゴシック", "IPAGothic"),
                  ("MS PGothic", "IPAPGothic"), ("MS Gothic", "IPAGothic"),
                  ("MS UI Gothic", "IPAPGothic")]:
    lines.append(f'"{face}"="{sub}"')
lines += ["", r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]",
          '"MS Shell Dlg"="IPAPGothic"', '"MS Shell Dlg 2"="IPAPGothic"', '"Tahoma"="IPAPGothic"', "",
          # Every program runs on one virtual desktop: Wine draws the window frames itself (so
          # screenshots show captions), and hiding a window does not wait for a window manager.
          r"[HKEY_CURRENT_USER\Software\Wine\Explorer]", '"Desktop"="Default"', "",
          r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]", '"Default"="1024x768"', ""]
open(sys.argv[1], "w", encoding="utf-16").write("\r\n".join(lines))
PY
  wine regedit /S "$reg" >/dev/null 2>&1
  wineserver -w
  rm -f "$reg"
  touch "$WINEPREFIX/.soranote-ready-2"
fi
# Wine draws the caption buttons with Marlett; this Wine does not find its own copy by itself.
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi
