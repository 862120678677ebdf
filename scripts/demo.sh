#!/usr/bin/env bash
# Shows the product: the demo map host Tellur.exe with the script workbench of zeph.dll.
# Without a display: a private Xvfb, the host with its workbench, a screenshot saved to
# build/demo/screenshot.png and the README's pictures in build/demo/images (DEMO_IMAGES).
# With a display: the host is simply started there.
# Environment: DEMO_PRESET (win64), DEMO_WAIT (seconds to wait for the windows, 90).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
preset=${DEMO_PRESET:-win64}
wait_for=${DEMO_WAIT:-90}
build=build/$preset
out=build/demo
mkdir -p "$out/data"

echo "demo: building Tellur.exe ($preset)"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target Tellur >/dev/null
# The guide goes where the workbench's F1 looks for it: the host's data folder.
if cmake --build --preset "$preset" --target zeph_help >/dev/null 2>&1; then
  cp -f "build/$preset/help/Zeph_Help.chm" "$out/data/"
else
  echo "demo: Zeph_Help.chm did not build (is fp-utils installed?); F1 will say it is missing"
fi
if cmake --build --preset "$preset" --target help 2>/dev/null | grep -q '^zeph:'; then
  echo "demo: building zeph.dll"
  cmake --build --preset "$preset" -j2 --target zeph >/dev/null || echo "demo: zeph.dll did not build; the host runs without it"
fi

exe=$build/host/Tellur.exe
dll=$build/win32/module/zeph.dll
arch=--arch=64
[ "$preset" = win32 ] && arch=--arch=32
prefix=$root/build/wine/prefix
# As our users see it: under the Russian locale (Wine's code page 1251, its own texts Russian),
# in a prefix of its own so the tests' English prefix stays as it is.
if locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
  prefix=$root/build/wine/prefix-ru
fi
export WINEPREFIX=${ZEPH_WINEPREFIX:-$prefix}
export ZEPH_WINEPREFIX=$WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}

xvfb_pid=""
host_pid=""
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  # Only our own prefix's server, and only when we started a private display for it.
  if [ -n "$xvfb_pid" ]; then
    timeout 20 wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT INT TERM

private_display=0
if [ -z "${DISPLAY:-}" ]; then
  private_display=1
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    if kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      break
    fi
    xvfb_pid=""
  done
  [ -n "$xvfb_pid" ] || { echo "demo: no free X display for Xvfb" >&2; exit 1; }
  echo "demo: Xvfb on $DISPLAY"
fi

winpath() { timeout 60 scripts/wine-run.sh winepath -w "$1" 2>/dev/null | tr -d "\r"; }

if [ -f "$dll" ]; then
  echo "demo: registering $dll"
  timeout 120 scripts/wine-run.sh $arch regsvr32 /s "$(winpath "$dll")" ||
    echo "demo: regsvr32 failed; the host will say why the workbench does not open"
else
  echo "demo: $dll is not built yet; starting the host without the workbench module"
fi

# Two saved scripts and a roomy window for a first look. The pictures always start from it; an
# interactive demo keeps what its user stored.
if [ $private_display -eq 1 ] || [ ! -f "$out/data/zpconfig.cfg" ]; then
  cp host/data/demo_store.cfg "$out/data/zpconfig.cfg"
fi
data=$(winpath "$out/data")
log=$out/tellur.log
rm -f "$log"
args=(--data-folder "$data" --log "$(winpath "$out")\\tellur.log" --open-workbench)

if [ $private_display -eq 0 ]; then
  echo "demo: starting Tellur.exe on $DISPLAY"
  trap - EXIT INT TERM
  exec scripts/wine-run.sh $arch "$exe" "${args[@]}"
fi

# A virtual desktop draws window captions, which a bare Xvfb (no window manager) would not.
scripts/wine-run.sh $arch explorer /desktop=Tellur,1280x1024 "$(winpath "$exe")" "${args[@]}" \
  >"$out/wine.out" 2>&1 &
host_pid=$!
echo "demo: waiting for the host (up to ${wait_for}s)"
for _ in $(seq "$wait_for"); do
  if [ -f "$log" ] && grep -qE 'workbench: (open|.* failed)' "$log"; then break; fi
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 1
done
sleep 3
import -window root -display "$DISPLAY" "$out/screenshot.png"
echo "demo: host log:"
sed 's/^/  /' "$log" 2>/dev/null || true
echo "demo: screenshot saved to $root/$out/screenshot.png"

# The README's pictures, made afresh by every run: the workbench over the map, and completion
# after a typed "Application.". Cropped to the windows, without the empty desktop around them.
# They go to build/demo/images, so a demo leaves the tree as it was; `make images` puts them in
# docs/images.
grep -q 'workbench: open' "$log" 2>/dev/null || exit 0
images=${DEMO_IMAGES:-$out/images}
mkdir -p "$images"
crop() {
  local desktop
  desktop=$(convert "$1" -format '%[pixel:p{1279,1023}]' info:)
  # -strip: no time stamps, so an unchanged picture leaves git quiet
  convert "$1" -bordercolor "$desktop" -border 1 -fuzz 1% -trim +repage -strip "$2"
}
crop "$out/screenshot.png" "$images/workbench.png"
if command -v xdotool >/dev/null; then
  xdotool key --delay 100 ctrl+End Return Return
  xdotool type --delay 60 "Set map = Application."
  sleep 3  # the pop-up follows a typed dot after a second
  import -window root -display "$DISPLAY" "$out/completion.png"
  crop "$out/completion.png" "$images/completion.png"
fi
echo "demo: pictures for the README in $root/$images"
