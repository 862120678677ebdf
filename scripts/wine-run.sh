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
) 9>"$(dirname "$WINEPREFIX")/.prefix.lock"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"
