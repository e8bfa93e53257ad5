#!/usr/bin/env bash
# End-to-end: demotool record watches galculator on Xvfb while xdotool uses it; the storyboard it writes packs, lints and replays.
#
# usage: run.sh DEMOTOOL [openbox]
# Bare, galculator offers itself on a private accessibility bus and the rectangles come from
# AT-SPI; under openbox it does not, and they are found in the pixels.
set -u
if [ "${2:-}" != openbox ] && [ -z "${RECORD_E2E_BUS:-}" ]; then
  RECORD_E2E_BUS=1 exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v 'dbus-daemon\|SpiRegistry' >&2)
fi

TOOL=$(readlink -f "$1")
WM=${2:-}
WORK=$(mktemp -d)
FAILS=0
XVFB_PID=
APP_PID=
REC_PID=
WM_PID=

cleanup() {
  for p in $REC_PID $APP_PID $WM_PID $XVFB_PID; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  if [ "$FAILS" -eq 0 ] && [ -z "${KEEP:-}" ]; then rm -rf "$WORK"; else echo "kept: $WORK"; fi
}
trap cleanup EXIT
# shellcheck source=../common.sh
source "$(dirname "$0")/../common.sh"

start_xvfb "$WORK" 1024x768x24
if [ "$WM" = openbox ]; then
  openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
  WM_PID=$!
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
fi

# galculator as the bundled sample captured it: a private home, fixed GTK settings, 800 x 572.
export HOME=$WORK/home
mkdir -p "$HOME/.config/gtk-3.0"
printf '[Settings]\ngtk-theme-name=Adwaita\ngtk-enable-animations=false\ngtk-cursor-blink=false\n' \
  >"$HOME/.config/gtk-3.0/settings.ini"
export LC_ALL=C.UTF-8 LANGUAGE=C GTK_THEME=Adwaita
[ "$WM" = openbox ] && export NO_AT_BRIDGE=1
xdotool mousemove 1010 760
galculator >"$WORK/galculator.log" 2>&1 &
APP_PID=$!
WIN=$(wait_window '^galculator$') || { fail "galculator did not come up"; exit 1; }
xdotool windowsize "$WIN" 800 572
xdotool windowmove "$WIN" 100 128
sleep 1
xdotool mousemove 500 186 sleep 0.2 mousemove 1010 760
sleep 1
read -r AX AY < <(xwininfo -id "$WIN" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')

# ---- the recording ----
# Bare, the window is named by its id; under openbox it is picked by clicking it.
if [ "$WM" = openbox ]; then
  "$TOOL" record -o "$WORK/rec" --pick >"$WORK/record.out" 2>"$WORK/record.err" &
  REC_PID=$!
  for _ in $(seq 100); do grep -q "click the window" "$WORK/record.err" && break; sleep 0.1; done
  xdotool mousemove $((AX + 700)) $((AY + 20)) sleep 0.3 click 1 sleep 0.3 mousemove 1010 760
  for _ in $(seq 100); do grep -q "recording window" "$WORK/record.out" && break; sleep 0.1; done
  check "--pick takes the window clicked" grep -q "recording window 0x$(printf %x "$WIN") " "$WORK/record.out"
else
  "$TOOL" record -o "$WORK/rec" --window "$WIN" >"$WORK/record.out" 2>"$WORK/record.err" &
  REC_PID=$!
fi
for _ in $(seq 100); do grep -q "has settled" "$WORK/record.out" && break; sleep 0.1; done
check "the recorder starts once the screen has settled" grep -q "has settled" "$WORK/record.out"

# Points in the window's own pixels; the expected rectangles are its widgets' (x1,y1,x2,y2).
CLICKS=()
click() {  # X Y WIDGET-RECT [BUTTON]
  xdotool mousemove $((AX + $1)) $((AY + $2)) sleep 0.3 click "${4:-1}"
  CLICKS+=("$1 $2 $3")
  sleep 0.6
}
key() {
  xdotool key "$1"
  sleep 0.6
}
click 82 440 6,401,158,480          # the 1 key
click 241 440 165,401,317,480       # the 2 key
click 559 354 483,315,635,394       # the multiply key
key 7
key Return
click 430 58 6,31,793,84 3          # the display's context menu
click 100 58 -                      # a click beside the menu closes it
click 59 12 39,0,79,24              # the Edit menu's title
click 120 61 40,50,371,74           # Copy Display Value
click 233 12 210,0,255,24           # the Help menu's title
click 270 36 211,26,310,48          # About
DLG=$(wait_window '^About galculator$') || fail "no About box"
xdotool windowmove "$DLG" $((AX + 175)) $((AY + 135))
sleep 1
read -r DX DY < <(xwininfo -id "$DLG" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
click $((DX - AX + 398)) $((DY - AY + 305)) $((DX - AX + 355)),$((DY - AY + 288)),$((DX - AX + 442)),$((DY - AY + 321))  # Close
stop_recorder "$WORK"
SB=$WORK/rec/storyboard.txt
kinds=$(action_kinds "$SB")
want="LeftClick LeftClick LeftClick KeyDown 55 KeyDown 13 RightClick LeftClick LeftClick LeftClick LeftClick LeftClick LeftClick KeyDown 0 "
check "the actions are the clicks and keys in order (${kinds})" test "$kinds" = "$want"
check "pointer travel became Timer frames with a drawn pointer" grep -q '@cursor' "$SB"
grep -q '^HomeFrame "f001-' "$SB" || fail "HomeFrame names the first frame"

check_clicks "$SB"
reported=$(grep -c 'widget from the accessibility interface' "$SB")
if [ "$WM" = openbox ]; then
  check "without accessibility every rectangle comes from the pixels" test "$reported" = 0
else
  # Pop-up menus are not among the application's windows: their items come from the pixels.
  check "the application reported the widgets outside pop-ups ($reported clicks)" test "$reported" -ge 7
fi

pack_lint_replay "$TOOL" "$SB" "$WORK"
exit $((FAILS > 0))
