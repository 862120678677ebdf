#!/usr/bin/env bash
# zeph-setup.exe under Wine, for the current user and then for the machine: silent install; the
# class created by its ProgID from a 64-bit client that opens the workbench and (for the
# machine) from a 32-bit script host; silent uninstall; no key or file of ours left, the user's store untouched.
# Usage: install_test.sh SETUP.EXE CLIENT.EXE WORKDIR. Exit 77 (skipped) without the installer.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
setup=$(realpath -m "$1") client=$(realpath -m "$2") work=$(realpath -m "$3")
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
