#!/usr/bin/env bash
# End-to-end: the presenter view of the Linux player on an X server with two monitors side by side
# (Xorg's dummy driver; Xvfb cannot split its screen into RandR monitors), driven by xdotool.
#
# usage: presenter.sh PLAYER DEMOTOOL SAMPLE_DIR [SHOTS_DIR]
# Screenshots stay in SHOTS_DIR (default: a temporary folder, removed on success).
set -u

PLAYER=$(readlink -f "$1")
TOOL=$(readlink -f "$2")
SAMPLE=$(readlink -f "$3")
WORK=$(mktemp -d)
SHOTS=${4:-$WORK/shots}
mkdir -p "$SHOTS"
KEEP=${4:-}
FAILS=0
XORG_PID=
PLAYER_PID=

# shellcheck source=../common.sh
source "$(dirname "$0")/../common.sh"
trap finish_x EXIT

# Two monitors of 1280 x 1024, the left one primary.
: >"$WORK/display"
Xorg -displayfd 5 -config "$(dirname "$(readlink -f "$0")")/two-monitors.conf" -noreset -nolisten tcp \
  -logfile "$WORK/xorg.log" 5>"$WORK/display" >/dev/null 2>&1 &
XORG_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "FAIL: Xorg did not start: $(tail -5 "$WORK/xorg.log" 2>/dev/null)"; exit 1; }
export DISPLAY=:$(head -n1 "$WORK/display")
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
for output in $(xrandr | awk '/ connected/ {print $1}'); do xrandr --output "$output" --off; done
xrandr --fb 2560x1024 &&
  xrandr --setmonitor left 1280/338x1024/270+0+0 none &&
  xrandr --setmonitor right 1280/338x1024/270+1280+0 none ||
  { echo "FAIL: no two RandR monitors"; exit 1; }
check "two monitors of 1280 x 1024 side by side" bash -c "xrandr --listmonitors | grep -q 'right 1280/338x1024/270+1280+0'"

await() {  # waits (up to 30 s) until the command succeeds
  for _ in $(seq 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
window_of() { xdotool search --onlyvisible --class "$1" 2>/dev/null | head -1; }
shown() { [ -n "$(window_of "$1")" ]; }
frames_more_than() { [ "$(grep -c 'Frame' "$WORK/out.txt")" -gt "$1" ]; }
frame_is() { [ "$(xprop -id "$(window_of RXDemo)" -notype _DEMOPLAYER_FRAME 2>/dev/null)" = "_DEMOPLAYER_FRAME = \"$1\"" ]; }
geometry() {  # x y w h of a window, border included (xwininfo's corner is the border's)
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} /Border width/{b=$3} END{print x, y, w+2*b, h+2*b}'
}
shot_of() {  # shot_of WINDOW NAME
  local x y w h
  read -r x y w h < <(geometry "$1")
  sleep 0.3
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$SHOTS/$2.png"
}

cd "$SAMPLE" || exit 1
"$PLAYER" home >"$WORK/out.txt" 2>&1 &
PLAYER_PID=$!
check "frame home shown" await frame_is home
AUDIENCE=$(window_of RXDemo)
read -r ax ay aw ah < <(geometry "$AUDIENCE")
check "the audience window on the left monitor at 40,40 ($ax,$ay ${aw}x$ah)" test "$ax,$ay,$aw,$ah" = "40,40,800,600"

xdotool key F5
check "F5 opens the presenter view" await shown RXPresenter
VIEW=$(window_of RXPresenter)
read -r px py pw ph < <(geometry "$VIEW")
check "the presenter view fills the right monitor ($px,$py ${pw}x$ph)" test "$px,$py,$pw,$ph" = "1280,0,1280,1024"
sleep 0.5
import -window root "$SHOTS/both-monitors.png"
shot_of "$AUDIENCE" audience
"$TOOL" render . home -o "$SHOTS/ref-home.png" >/dev/null 2>&1
# Below the title band, whose corners the window's shape rounds off.
convert "$SHOTS/audience.png" -crop 800x572+0+28 +repage "$WORK/a.png"
convert "$SHOTS/ref-home.png" -crop 800x572+0+28 +repage "$WORK/b.png"
n=$(compare -metric AE "$WORK/a.png" "$WORK/b.png" null: 2>&1 | awk '{print int($1)}')
check "the audience sees the frame alone, no notes box ($n pixels differ)" test "$n" = 0

# Keys pressed in the view act in the audience window.
xdotool windowactivate --sync "$VIEW" 2>/dev/null || xdotool windowfocus --sync "$VIEW"
before=$(grep -c 'Frame' "$WORK/out.txt")
xdotool key Right
check "Right Arrow in the presenter view steps the audience window on" await frames_more_than "$before"
shot_of "$VIEW" view

# Resized by the presenter, the view lays itself out anew: its key hint is at the new bottom.
xdotool windowsize --sync "$VIEW" 900 600
sleep 0.5
shot_of "$VIEW" view-resized
light() {  # light pixels of the resized view within a crop WxH+X+Y
  convert "$SHOTS/view-resized.png" -crop "$1" +repage -colorspace gray -threshold 50% -format "%[fx:round(mean*w*h)]" info:
}
hint=$(light 400x50+500+550)
left=$(light 450x50+0+550)
check "the resized view is drawn for its new size: its key hint at the bottom right ($hint light pixels), nothing left of it ($left)" \
  test "${hint:-0}" -gt 100 -a "${left:-1}" = 0

xdotool key F5
check "F5 in the view closes it" await bash -c "! xdotool search --onlyvisible --class RXPresenter"
xdotool key Escape
for _ in $(seq 100); do kill -0 "$PLAYER_PID" 2>/dev/null || break; sleep 0.1; done
wait "$PLAYER_PID"
rc=$?
PLAYER_PID=
check "Escape ends the demo with status 0 (got $rc)" test "$rc" = 0

echo "$FAILS failure(s)"
[ "$FAILS" -eq 0 ]
