#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix (inside the build tree)
# and, when no display is set, a private Xvfb display. Usage: wine-run.sh [--arch=32|64] PROGRAM [ARGS]
set -euo pipefail
arch=64
if [[ ${1:-} == --arch=* ]]; then arch=${1#--arch=}; shift; fi
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${ZEPH_WINEPREFIX:-$root/build/wine/prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko download prompts: the prefix must come up without a network.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset WINEARCH

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.zeph-ready" ]; then
    WINEARCH=win64 wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    touch "$WINEPREFIX/.zeph-ready"
  fi
  # Debian's Wine does not load the fonts of its own data folder (fonts-wine), so captions drew
  # their Marlett buttons as "0 1 r" and dialogs had no Tahoma: the prefix gets copies, which
  # Wine loads from the Windows font folder.
  fonts=$WINEPREFIX/drive_c/windows/Fonts
  if [ ! -f "$fonts/marlett.ttf" ] && [ -d /usr/share/wine/fonts ]; then
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/*.ttf "$fonts/"
  fi
) 9>"$(dirname "$WINEPREFIX")/.prefix.lock"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"
