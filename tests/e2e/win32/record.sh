#!/usr/bin/env bash
# End-to-end: demorecord.exe watches Wine's Notepad in a Wine desktop on Xvfb while xdotool uses it; the result packs, lints and replays.
#
# usage: record.sh DEMORECORD_EXE DEMOTOOL
set -u

RECORDER=$(readlink -f "$1")
TOOL=$(readlink -f "$2")
WORK=$(mktemp -d)
FAILS=0
XVFB_PID=
REC_PID=

cleanup() {
  [ -n "$REC_PID" ] && kill "$REC_PID" 2>/dev/null
  [ "${WINEPREFIX:-}" = "$WORK/prefix" ] && wineserver -k 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  if [ "$FAILS" -eq 0 ] && [ -z "${KEEP:-}" ]; then rm -rf "$WORK"; else echo "kept: $WORK"; fi
}
trap cleanup EXIT
# shellcheck source=../common.sh
source "$(dirname "$0")/../common.sh"

start_xvfb "$WORK" 1024x768x24

# A fresh prefix whose programs share one Wine desktop, which draws the
# title bars itself as Windows does.
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >"$WORK/wineboot.log" 2>&1 || { fail "wineboot"; exit 1; }
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1000x740 /f >/dev/null 2>&1
wineserver -k
wineserver -w
xdotool mousemove 1010 760
wine notepad >"$WORK/notepad.log" 2>&1 &
wait_window '^Default - Wine desktop$' >/dev/null || { fail "no Wine desktop"; exit 1; }
sleep 3

# ---- the recording: the window is picked by clicking it ----
wine "$RECORDER" -o "Z:$WORK/rec" --pick --decorations >"$WORK/record.out" 2>"$WORK/record.err" &
REC_PID=$!
for _ in $(seq 150); do grep -q "click the window" "$WORK/record.err" && break; sleep 0.1; done
xdotool mousemove 300 300 sleep 0.3 click 1
for _ in $(seq 150); do grep -q "has settled" "$WORK/record.out" && break; sleep 0.1; done
check "the recorder picks Notepad and starts once the screen has settled" grep -q 'Notepad".*has settled' \
  <(tr '\n' ' ' <"$WORK/record.out")
read -r AX AY < <(tr -d '\r' <"$WORK/record.out" | sed -n 's/.* at \([0-9]*\),\([0-9]*\)$/\1 \2/p')
[ -n "${AX:-}" ] || { fail "the recorder did not say where the window is"; cat "$WORK/record.out" "$WORK/record.err"; exit 1; }

# Points in the window's own pixels; the rectangles are the widgets' as Notepad
# highlights them (x1,y1,x2,y2, both edges included).
CLICKS=()
click() {  # X Y WIDGET-RECT [BUTTON]
  xdotool mousemove $((AX + $1)) $((AY + $2)) sleep 0.3 click "${4:-1}"
  CLICKS+=("$1 $2 $3")
  sleep 1
}
key() {
  xdotool key "$1"
  sleep 0.8
}
click 161 33 145,24,178,41     # the Help menu's title
click 190 69 148,61,268,76     # About Notepad
click 404 378 340,366,469,391  # the About box's OK
click 200 200 -                # into the text
key h
key i
click 250 300 - 3              # the text's context menu
click 290 409 253,401,326,416  # Select All
key Delete
click 17 33 -                  # the File menu's title (the click is checked, not the edges)
key Escape
stop_recorder "$WORK"
SB=$WORK/rec/storyboard.txt
kinds=$(action_kinds "$SB")
want="LeftClick LeftClick LeftClick LeftClick KeyDown 72 KeyDown 73 RightClick LeftClick KeyDown 46 LeftClick KeyDown 27 KeyDown 0 "
check "the actions are the clicks and keys in order (${kinds})" test "$kinds" = "$want"
check "the window's caption acts as the title bar" grep -q '^TitleBarHeight [0-9]' "$SB"
check "the title is Notepad's" grep -q '^WindowText "Untitled - Notepad"$' "$SB"
check_clicks "$SB"
pack_lint_replay "$TOOL" "$SB" "$WORK"
exit $((FAILS > 0))
