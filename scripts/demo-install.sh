#!/usr/bin/env bash
# Gives the Wine prefix a ソラノート installation for the updater to update, unless it has one:
# the stand-in Soranote.exe at product version 1.0.0.0 (one update behind the default payload)
# in C:\Program Files\Soranote, and the product's registry entry
# HKCR\Soranote.Application\dstDir pointing there. Called by scripts/run.sh after the build.
# SORANOTE_DEMO_RESET=1 puts the 1.0.0.0 demo back even when an installation is there (for
# instance the demo itself, already updated by an earlier run).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

key='HKCR\Soranote.Application\dstDir'
folder='C:\Program Files\Soranote'

# The folder the registry names, when it holds Soranote.exe.
installed_folder() {
  local value
  value=$(wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^.*REG_SZ[[:space:]]*//p')
  [ -n "$value" ] && [ -f "$(winepath -u "$value" 2>/dev/null)/Soranote.exe" ] && echo "$value"
}

if [ -z "${SORANOTE_DEMO_RESET:-}" ] && current=$(installed_folder); then
  echo "demo-install: ソラノート is installed in $current (SORANOTE_DEMO_RESET=1 puts the 1.0.0.0 demo back)"
  exit 0
fi

demo="$build/demo/Soranote.exe"
[ -f "$demo" ] || { echo "demo-install: $demo is missing; build first (scripts/build.sh)" >&2; exit 1; }
target="$WINEPREFIX/drive_c/Program Files/Soranote"
mkdir -p "$target"
# A few folders of the kind an installed product has, so the folder browser has a tree to show.
mkdir -p "$target/Data" "$target/Plugins" "$target/Skins" "$target/テンプレート"
cp -f "$demo" "$target/Soranote.exe"
chmod u+w "$target/Soranote.exe"
wine reg add "$key" /ve /t REG_SZ /d "$folder" /f >/dev/null 2>&1
[ "$(installed_folder)" = "$folder" ] || { echo "demo-install: the registry entry did not take" >&2; exit 1; }
echo "demo-install: installed the stand-in ソラノート 1.0.0.0 in $folder ($target)"
