#!/usr/bin/env bash
# Builds build/installer/zeph-setup.exe: zeph.dll of the win64 and win32 presets and, when the
# help build made it, the help file. Environment: ZEPH_HELP (the .chm to include; default
# the win64 build's help/Zeph_Help.chm, left out when missing), INSTALLER_OUT (the setup file).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
help=${ZEPH_HELP:-build/win64/help/Zeph_Help.chm}
out=${INSTALLER_OUT:-build/installer/zeph-setup.exe}

for preset in win64 win32; do
  echo "installer: building zeph.dll ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS" --target zeph >/dev/null
done
# The guide, where chmcmd is there to build it.
if [ -z "${ZEPH_HELP:-}" ]; then
  cmake --build --preset win64 --target zeph_help >/dev/null 2>&1 || true
fi

# The builds keep their debug information; the installed modules go without it.
stage=build/installer/stage
mkdir -p "$stage/x64" "$stage/x86"
x86_64-w64-mingw32-strip -o "$stage/x64/zeph.dll" build/win64/win32/module/zeph.dll
i686-w64-mingw32-strip -o "$stage/x86/zeph.dll" build/win32/win32/module/zeph.dll

args=(-V2 -INPUTCHARSET UTF8 "-DDLL64=$PWD/$stage/x64/zeph.dll" "-DDLL32=$PWD/$stage/x86/zeph.dll")
if [ -f "$help" ]; then
  echo "installer: with the help file $help"
  args+=("-DHELP=$(realpath "$help")")
else
  echo "installer: no help file at $help; the setup goes without it"
fi
mkdir -p "$(dirname "$out")"
makensis "${args[@]}" "-DOUTFILE=$(realpath -m "$out")" installer/zeph.nsi
echo "installer: $out"
