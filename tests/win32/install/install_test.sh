#!/usr/bin/env bash
# zeph-setup.exe under Wine, for the current user and then for the machine: silent install; the
# class created by its ProgID from a 64-bit client that opens the workbench and (for the
# machine) from a 32-bit script host and from the demo host, where F1 shows the installed
# guide; silent uninstall; no key or file of ours left, the user's store untouched.
# Wine's COM reads only the machine's classes, so the user's install is checked by its registry
# contents and a client that loads the registered server itself; the test prints whether this
# Wine's CoCreateInstance finds the user's class.
# Usage: install_test.sh SETUP.EXE CLIENT.EXE WORKDIR [TELLUR.EXE]. Exit 77 (skipped) without
# the installer.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
setup=$(realpath -m "$1") client=$(realpath -m "$2") work=$(realpath -m "$3")
tellur=${4:+$(realpath -m "$4")}
if [ ! -f "$setup" ]; then
  echo "install test: no installer at $setup (make installer builds it)"
  exit 77
fi
# A prefix of its own, made afresh: a machine that never saw the module, and no registration
# left by the demo or the other tests to mistake for ours.
export ZEPH_WINEPREFIX=$work/prefix
run() { timeout 300 "$root/scripts/wine-run.sh" "$@"; }
winpath() { run winepath -"$1" "$2" 2>/dev/null | tr -d '\r'; }
fail() { echo "install test: $*" >&2; exit 1; }
wait_for() {  # wait_for SECONDS COMMAND...
  local until=$((SECONDS + $1))
  shift
  until "$@"; do [ $SECONDS -ge $until ] && return 1; sleep 0.2; done
}
has_title() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
host_pids() { pgrep -f 'Tellur.exe --data-folder' || true; }
# The demo host opens the workbench from the installed module; F1 there shows the guide that
# the setup put beside the module (the data folder has none).
host_opens_workbench_and_guide() {
  command -v xdotool >/dev/null || { echo "no xdotool: the host's part is skipped"; return 0; }
  "$root/scripts/wine-run.sh" "$tellur" --data-folder "$data" --open-workbench >"$work/host.out" 2>&1 &
  wait_for 90 has_title 'Модуль быстрого запуска скрипта' || fail "the host opened no workbench"
  local wb X Y WIDTH HEIGHT SCREEN
  wb=$(xdotool search --onlyvisible --name 'Модуль быстрого запуска скрипта' | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$wb")"
  xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
  xdotool key F1
  wait_for 60 has_title '^Zeph: справка$' || fail "F1 showed no guide titled 'Zeph: справка'"
  echo "the host opened the workbench; F1 showed the installed guide"
  pkill -f 'hh(\.exe)? ' || true
  kill $(host_pids) 2>/dev/null || true
  wait_for 30 test -z "$(host_pids)" || fail "the host did not end"
}

# One display for the whole test, so that the host's windows can be found and given keys.
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true' EXIT
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  . "$root/tests/win32/support/own_display.sh"
  start_own_display 191 230 || true
fi

[ -d "$work/prefix" ] && { WINEPREFIX=$work/prefix timeout 60 wineserver -k 2>/dev/null || true; }
rm -rf "$work"
# The user's data folder: the store, its backup and a script of theirs.
mkdir -p "$work/data/scripts"
cp "$root/tests/data/store/default.cfg" "$work/data/zpconfig.cfg"
cp "$root/tests/data/store/default.cfg" "$work/data/zpconfig.cfg.bak"
printf 'MsgBox Application.Name\r\n' >"$work/data/scripts/mine.vbs"
data=$(winpath w "$work/data")
# Wine's script host ends with 0 after a run-time error, so the script says how it went.
printf 'On Error Resume Next\r\nSet m = CreateObject("Zeph.ComModule")\r\nIf Err.Number <> 0 Then WScript.Quit 3\r\n' >"$work/create.vbs"
create_vbs=$(winpath w "$work/create.vbs")

for scope in user machine; do
  switch=/CURRENTUSER hive=HKCU
  [ $scope = machine ] && switch=/ALLUSERS hive=HKLM
  echo "== $scope: silent install"
  run "$setup" /S $switch || fail "$scope: the installer failed ($?)"
  location=$(run reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeph" \
               /v InstallLocation 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  [ -n "$location" ] || fail "$scope: no uninstall entry under $hive"
  folder=$(winpath u "$location")
  echo "installed in $location"
  # EXPECT_HELP=1: the setup was built with the help file.
  for f in x64/zeph.dll x86/zeph.dll uninstall.exe ${EXPECT_HELP:+Zeph_Help.chm}; do
    [ -f "$folder/$f" ] || fail "$scope: $f is not installed"
  done
  run "$client" registered $scope "$location" || fail "$scope: registration"

  echo "== $scope: the module from a host"
  run "$client" open $scope "$data\\" || fail "$scope: the 64-bit client"
  # Wine's COM sees only the machine's classes; the user's are checked by the client above.
  if [ $scope = machine ]; then
    run 'C:\windows\syswow64\cscript.exe' //nologo "$create_vbs" ||
      fail "$scope: a 32-bit script host cannot create Zeph.ComModule"
    [ -n "$tellur" ] && host_opens_workbench_and_guide
  elif run "$client" progid >/dev/null 2>&1; then
    echo "user: this Wine's CoCreateInstance finds the user's class"
  else
    echo "user: as expected, this Wine's CoCreateInstance does not find the user's class"
  fi
  (cd "$work/data" && find . -type f | sort | xargs sha256sum) >"$work/store.before"

  echo "== $scope: silent uninstall"
  run "$folder/uninstall.exe" /S
  # The uninstaller goes on from a copy of itself after the first process ends.
  for _ in $(seq 120); do [ -e "$folder" ] || break; sleep 0.5; done
  [ ! -e "$folder" ] || fail "$scope: left behind: $(cd "$folder" && find . | tr '\n' ' ')"
  run "$client" clean || fail "$scope: registry keys left"
  (cd "$work/data" && find . -type f | sort | xargs sha256sum) >"$work/store.after"
  diff "$work/store.before" "$work/store.after" || fail "$scope: the user's store was changed"
done
echo "install test: passed"
WINEPREFIX=$ZEPH_WINEPREFIX timeout 60 wineserver -k 2>/dev/null || true
rm -rf "$work/prefix"
