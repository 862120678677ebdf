#!/usr/bin/env bash
# The demo host with the workbench as a user meets it: Tellur.exe under Wine on a display of its
# own, driven through the X server with xdotool (keys, text, clicks). Checks outcomes (windows
# present or gone, the editor's text, the store's bytes, the host's CPU use) and waits on
# conditions with time limits, never on fixed sleeps.
# Usage: user_path_test.sh TELLUR.EXE ZEPH.DLL USER_PROBE.EXE WORKDIR [ZEPH_HELP.CHM]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
exe=$(realpath "$1") dll=$(realpath "$2") probe=$(realpath "$3") work=$(realpath -m "$4")
help=${5:-}
command -v xdotool >/dev/null || { echo "user path: xdotool is missing"; exit 77; }

# Our users' locale where the machine has it: Wine's ANSI code page is then 1251 and its own
# texts Russian (the other Wine tests keep the English one, so both code pages are tested).
if locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
  echo "user path: under the ru_RU.UTF-8 locale"
else
  echo "user path: no ru_RU.UTF-8 locale here; under $(locale 2>/dev/null | sed -n 's/^LANG=//p')"
fi
# A prefix of its own: no registration or focus left by the other Wine tests.
export ZEPH_WINEPREFIX=$work/prefix WINEDEBUG=-all
export WINEPREFIX=$ZEPH_WINEPREFIX
xvfb_pid="" host_pid="" failures=0
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  timeout 20 wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

[ -d "$work/prefix" ] && { timeout 30 wineserver -k 2>/dev/null || true; }
rm -rf "$work/data"
mkdir -p "$work/data"
. "$root/tests/win32/support/own_display.sh"
start_own_display 150 190 || true
[ -n "$xvfb_pid" ] || { echo "user path: no free display"; exit 1; }

wine_run() { timeout 120 "$root/scripts/wine-run.sh" "$@"; }
winpath() { wine_run winepath -w "$1" 2>/dev/null | tr -d '\r'; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
now_ms() { date +%s%3N; }
windows() { wine_run "$probe" windows 2>/dev/null | tr -d '\r'; }
# wait_for SECONDS COMMAND...: true as soon as the command succeeds.
wait_for() {
  local limit=$(( $(now_ms) + $1 * 1000 )); shift
  while [ "$(now_ms)" -lt "$limit" ]; do "$@" && return 0; sleep 0.1; done
  return 1
}
has_window() { windows | grep -qE "$1"; }
# By title through the X server: much quicker than asking Wine.
has_title() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
no_title() { ! has_title "$1"; }
no_window() { ! has_window "$1"; }
# The host's CPU time in clock ticks (user + system).
cpu_ticks() {
  local p sum=0
  for p in $(host_pids); do
    [ -r "/proc/$p/stat" ] && sum=$((sum + $(awk '{ print $14 + $15 }' "/proc/$p/stat" 2>/dev/null || echo 0)))
  done
  echo "$sum"
}
# Ticks used over `ms` milliseconds, as a percentage of one core.
cpu_percent() {
  local a b hz
  hz=$(getconf CLK_TCK); a=$(cpu_ticks); sleep "$(awk "BEGIN { print $1 / 1000 }")"; b=$(cpu_ticks)
  echo $(( (b - a) * 100000 / ($1 * hz) ))
}
# Clicks the middle of the visible control with that text.
click_text() {
  local at
  at=$(wine_run "$probe" centre "$(printf '%s' "$1" | od -An -tx1 | tr -d ' \n')" 2>/dev/null | tr -d '\r')
  [ -n "$at" ] || return 1
  xdotool mousemove --sync $at click 1
}
editor_text() { wine_run "$probe" text TScriptEditor 2>/dev/null | tr -d '\r'; }
workbench_id() { xdotool search --name 'Модуль быстрого запуска скрипта' 2>/dev/null | head -n 1 || true; }
find_workbench() { wb=$(workbench_id); [ -n "$wb" ]; }

echo "== start"
wine_run regsvr32 /s "$(winpath "$dll")" || { echo "user path: regsvr32 failed"; exit 1; }
cp "$root/host/data/demo_store.cfg" "$work/data/zpconfig.cfg"
[ -n "$help" ] && [ -f "$help" ] && cp "$help" "$work/data/"
data=$(winpath "$work/data")
"$root/scripts/wine-run.sh" "$exe" --data-folder "$data" --log "$data\\tellur.log" --open-workbench \
  >"$work/host.out" 2>&1 &
host_pid=$!
wait_for 90 has_title 'Модуль быстрого запуска скрипта' || { echo "user path: no workbench"; exit 1; }
# The host's processes: the starter script and Wine's process for Tellur.exe.
# Only this test's host: other tests may run Tellur.exe meanwhile.
host_pids() {
  local d
  for d in /proc/[0-9]*; do
    tr '\0' ' ' <"$d/cmdline" 2>/dev/null | grep -qF -- "Tellur.exe --data-folder $data" &&
      echo "${d#/proc/}"
  done
  return 0
}
[ -n "$(host_pids)" ] || { echo "user path: no host process"; exit 1; }
wait_for 20 find_workbench || { echo "user path: the workbench has no X window"; exit 1; }

# Puts the focus in the editor with a click in the middle of the workbench.
focus_editor() {
  eval "$(xdotool getwindowgeometry --shell "$wb")"
  xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
}
type_script() {  # replaces the editor's text
  focus_editor
  xdotool key --delay 30 ctrl+a Delete
  xdotool type --delay 20 "$1"
  wait_for 10 text_is "$1" || true
}
text_is() { [ "$(editor_text)" = "$1" ]; }

echo "== type a script and run it"
type_script 'WScript.Echo "typed"'
text=$(editor_text)
[ "$text" = 'WScript.Echo "typed"' ] && ok "the editor holds the typed text" ||
  fail "the editor holds '$text'"
xdotool key F5
wait_for 3 has_title '^(Ошибка|Скрипт остановлен)$' && fail "a box after a script that runs cleanly" || ok "F5 ran without a box"

# stop_case NAME LANGUAGE_KEYS SCRIPT STOP_KEYS: a loop runs, the indicator shows, the key stops it.
stop_case() {
  local name=$1 script=$2 keys=$3 t0 t1 busy idle
  type_script "$script"
  xdotool key F5
  if ! wait_for 10 has_title '^Zeph: выполнение'; then fail "$name: no running indicator"; return; fi
  busy=$(cpu_percent 500)
  t0=$(now_ms)
  xdotool key $keys
  if ! wait_for 10 has_title '^Скрипт остановлен'; then
    fail "$name: not stopped by $keys"
    return
  fi
  t1=$(now_ms)
  has_title '^Zeph: выполнение' && fail "$name: the indicator outlived the run"
  xdotool key Return
  wait_for 10 no_title '^Скрипт остановлен' || fail "$name: the box did not close"
  idle=$(cpu_percent 1000)
  echo "$name: host ${busy}% busy while running, stopped $((t1 - t0)) ms after $keys (box seen), ${idle}% after"
  [ "$idle" -lt 30 ] && ok "$name: the host is idle again" || fail "$name: the host still busy (${idle}%)"
}

echo "== stop keys, VBScript"
stop_case 'VBScript Do : Loop, Ctrl+Break' 'Do : Loop' ctrl+Break
stop_case 'VBScript host loop, Esc' 'Do : Application.Map.Redraw : Loop' Escape
stop_case 'VBScript For, Esc' 'For i = 1 To 1E9 : Next' Escape

echo "== the indicator's button"
type_script 'While True : Wend'
xdotool key F5
if wait_for 10 has_title '^Zeph: выполнение'; then
  read -r l t r b < <(windows | awk -F'\t' '$1 == "TZephRunIndicator" { print $3 }')
  # The button sits at the right of the second row.
  xdotool mousemove --sync $((r - 50)) $((t + (b - t) * 2 / 3)) click 1
  wait_for 10 has_title '^Скрипт остановлен' && ok "the button stopped the run" ||
    fail "the button did not stop the run"
  xdotool key Return
  wait_for 10 no_title '^Скрипт остановлен' || fail "the box did not close"
else
  fail "no indicator for While True : Wend"
fi

echo "== stop keys, JScript"
focus_editor
xdotool key ctrl+l
wait_for 10 has_title 'JavaScript\)' || fail "Ctrl+L did not switch to JScript"
find_workbench
stop_case 'JScript for (;;), Ctrl+Pause' 'for (;;) {}' ctrl+Pause
stop_case 'JScript host loop, Esc' 'while (true) Application.Map.Redraw();' Escape
stop_case 'JScript do-while, Esc' 'do {} while (true)' Escape
stop_case 'JScript while (1);, Ctrl+Break' 'while (1);' ctrl+Break

echo "== completion"
find_workbench
type_script 'Application.Map.Re'
xdotool key ctrl+space
wait_for 10 has_window '^TCompletionProposalForm' && ok "Ctrl+Space after Application.Map.Re lists the map's members" ||
  fail "no pop-up after Application.Map.Re"
xdotool key Return
took_member() { case "$(editor_text)" in Application.Map.Re?*) return 0 ;; esac; return 1; }
wait_for 10 took_member && ok "Enter took a member: $(editor_text)" ||
  fail "the editor holds '$(editor_text)' after Enter in the pop-up"
type_script 'Qzxw'
xdotool key ctrl+space
wait_for 3 has_window '^TCompletionProposalForm' && fail "an empty pop-up after Qzxw" ||
  ok "no empty pop-up after a word that matches nothing"
xdotool key Escape
# A bare word also offers the host's global names: Application among them.
type_script 'Appl'
xdotool key ctrl+space
wait_for 10 has_window '^TCompletionProposalForm' && ok "Ctrl+Space after Appl offers Application" ||
  fail "no pop-up after Appl"
xdotool key Return
wait_for 10 text_is 'Application' && ok "Enter took Application" ||
  fail "the editor holds '$(editor_text)' after Enter on Appl"

echo "== the host still answers"
type_script 'WScript.Echo Application.Map.Count'
focus_editor
xdotool key ctrl+l
wait_for 10 has_title 'VBScript\)' || fail "Ctrl+L did not switch back to VBScript"
find_workbench
xdotool key F5
wait_for 3 has_title '^(Ошибка|Скрипт остановлен)$' && fail "a box after the last run" || ok "the host ran a script after the stops"

echo "== error boxes in Russian, with the line"
# error_case SCRIPT EXPECTED: the box after F5 says "Произошла ошибка: EXPECTED (строка N)".
error_case() {
  local said
  type_script "$1"
  xdotool key F5
  if ! wait_for 10 has_title '^Ошибка$'; then fail "no error box for '$1'"; return; fi
  said=$(wine_run "$probe" box "$(printf 'Ошибка' | od -An -tx1 | tr -d ' \n')" 2>/dev/null | tr -d '\r')
  case "$said" in
    "Произошла ошибка: $2") ok "'$1' says: $said" ;;
    *) fail "'$1' says '$said', not 'Произошла ошибка: $2'" ;;
  esac
  xdotool key Return
  wait_for 10 no_title '^Ошибка$' || fail "the error box did not close"
}
error_case 'If a Then Then' 'Синтаксическая ошибка (строка 1)'
error_case 'Application.Nope 1' 'Объект не поддерживает это свойство или метод (строка 1)'
error_case 'x = 1 / 0' 'Деление на ноль (строка 1)'

echo "== a comment typed into a pasted 2,000-line script (VBScript)"
# No comment in the pasted text: the comment colour on screen can only be the typed one.
for i in $(seq 2000); do printf 'x%d = x%d + 1\r\n' "$i" "$i"; done >"$work/long.vbs"
green_pixels() {
  eval "$(xdotool getwindowgeometry --shell "$wb")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/shot.png"
  convert "$work/shot.png" -fill black +opaque '#008000' -fill white -opaque '#008000' \
    -format '%[fx:int(mean*w*h)]' info:
}
if wine_run "$probe" clip "$(winpath "$work/long.vbs")"; then
  focus_editor
  xdotool key --delay 30 ctrl+a ctrl+v ctrl+Home
  t0=$(now_ms)
  xdotool key --delay 0 --repeat 964 Down
  xdotool key End
  xdotool type --delay 20 " WScript.Echo 'typing speed"
  coloured() { [ "$(green_pixels)" -gt 20 ]; }
  wait_for 30 coloured && ok "the comment on line 965 is green ($(($(now_ms) - t0)) ms after the keys began)" ||
    fail "the comment on line 965 is not coloured ($(green_pixels) green pixels)"
else
  fail "could not put the long script on the clipboard"
fi
type_script 'WScript.Echo Application.Map.Count'

echo "== settings: change a colour and save"
before=$(sha256sum <"$work/data/zpconfig.cfg")
focus_editor
xdotool key ctrl+o
if wait_for 20 has_window '^TZephraSetupDialogForm'; then
  # The focus starts on the pages' tabs; then come the list of elements and the text colour.
  xdotool key Tab Tab Down
  click_text 'Сохранить' || fail "no Сохранить button"
  wait_for 10 no_window '^TZephraSetupDialogForm' || fail "the settings stayed open"
  [ "$(sha256sum <"$work/data/zpconfig.cfg")" != "$before" ] && ok "the new colour is in the store" ||
    fail "the store did not change"
else
  fail "Ctrl+O opened no settings"
fi

if [ -n "$help" ] && [ -f "$help" ]; then
  echo "== F1 opens the help viewer"
  focus_editor
  xdotool key F1
  wait_for 30 has_window '^HH Parent' && ok "F1 opened the viewer" || fail "F1 opened no viewer"
  pkill -f '^hh ' || true
  wait_for 10 no_window '^HH Parent' || fail "the viewer did not go"
fi

echo "== Ctrl+Q stores the text"
focus_editor
xdotool key ctrl+q
wait_for 10 no_title 'Модуль быстрого запуска скрипта' || fail "Ctrl+Q left the window open"
grep -q 'Application.Map.Count' "$work/data/zpconfig.cfg" && ok "the store holds the last text" ||
  fail "the store lacks the last text"

echo
[ "$failures" -eq 0 ] && echo "user path: all passed" || echo "user path: $failures failed"
[ "$failures" -eq 0 ]
