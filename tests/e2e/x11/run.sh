#!/usr/bin/env bash
# End-to-end: the Linux demoplayer plays the bundled sample in real X windows on Xvfb, driven by xdotool.
#
# usage: run.sh PLAYER DEMOTOOL SAMPLE_DIR PROBE [SHOTS_DIR]
# Screenshots stay in SHOTS_DIR (default: a temporary folder, removed on success).
set -u

PLAYER=$(readlink -f "$1")
TOOL=$(readlink -f "$2")
SAMPLE=$(readlink -f "$3")
PROBE=$(readlink -f "$4")
WORK=$(mktemp -d)
SHOTS=${5:-$WORK/shots}
mkdir -p "$SHOTS"
KEEP=${5:-}
FAILS=0
XVFB_PID=
PLAYER_PID=

# shellcheck source=../common.sh
source "$(dirname "$0")/../common.sh"
trap finish_x EXIT
start_xvfb "$WORK" 1280x1024x24

# waits (up to 30 s) until the command succeeds; the test fails if it never does
await() {
  for _ in $(seq 300); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$PLAYER_PID" 2>/dev/null || { "$@" >/dev/null 2>&1; return; }
    sleep 0.1
  done
  return 1
}

main_window() { xdotool search --onlyvisible --class RXDemo 2>/dev/null | head -1; }
frame_is() {  # the name the player publishes on its main window
  local w
  w=$(main_window)
  [ -n "$w" ] && [ "$(xprop -id "$w" -notype _DEMOPLAYER_FRAME 2>/dev/null)" = "_DEMOPLAYER_FRAME = \"$1\"" ]
}
await_frame() {
  if await frame_is "$1"; then pass "frame $1 shown"; else fail "frame $1 not shown (is: $(xprop -id "$(main_window)" -notype _DEMOPLAYER_FRAME 2>&1))"; fi
}
geometry() {  # x y w h of a window, border included
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} /Border width/{b=$3} END{print x-b, y-b, w+2*b, h+2*b}'
}
# a screenshot of the main window's pixels: shot NAME
shot() {
  local w x y wd ht
  w=$(main_window)
  read -r x y wd ht < <(geometry "$w")
  sleep 0.3  # let the server finish the last drawing requests before reading them back
  import -window root -crop "${wd}x${ht}+${x}+${y}" +repage "$SHOTS/$1.png"
}
# a key, a moment for the redraw, then a shot: key_shot KEY NAME
key_shot() {
  xdotool key "$1"
  sleep 0.5
  shot "$2"
}
# the player on the side files in the current folder: play OUT [FRAME]
play() {
  "$PLAYER" "${@:2}" >"$WORK/$1.txt" 2>&1 &
  PLAYER_PID=$!
}
# differing pixels between two images, within a crop WxH+X+Y of both
differ() {
  convert "$1" -crop "$3" +repage "$WORK/a.png" && convert "$2" -crop "$3" +repage "$WORK/b.png" &&
    compare -metric AE "$WORK/a.png" "$WORK/b.png" null: 2>&1 | awk '{print int($1)}'
}
# the frame's own pixels, below the title band where the status text is drawn
BELOW_TITLE=800x572+0+28
same_as_render() {  # same_as_render SHOT FRAME [AFTER]
  local args=("$TOOL" render "$DEMO" "$2" -o "$SHOTS/ref-$1.png")
  [ -n "${3:-}" ] && args+=(--after "$3")
  "${args[@]}" >/dev/null 2>&1 || return 1
  local n
  n=$(differ "$SHOTS/$1.png" "$SHOTS/ref-$1.png" "$BELOW_TITLE")
  [ "$n" = 0 ] || { echo "  $n pixels differ from the composed frame $2"; return 1; }
}
pointer_in() {  # pointer_in LEFT TOP RIGHT BOTTOM (screen)
  local x y
  eval "$(xdotool getmouselocation --shell)"
  [ "$X" -ge "$1" ] && [ "$Y" -ge "$2" ] && [ "$X" -le "$3" ] && [ "$Y" -le "$4" ]
}
pointer_still() {  # the pointer has not moved for 0.3 s
  local a b
  a=$(xdotool getmouselocation)
  sleep 0.3
  b=$(xdotool getmouselocation)
  [ "$a" = "$b" ]
}
await_exit() {  # await_exit STATUS: the player ends with that status
  local rc
  for _ in $(seq 300); do kill -0 "$PLAYER_PID" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$PLAYER_PID" 2>/dev/null; then
    fail "player still running"
    command -v gdb >/dev/null && gdb -p "$PLAYER_PID" -batch -ex "thread apply all bt" 2>&1 | grep -E "^#|^Thread"
    return
  fi
  wait "$PLAYER_PID"
  rc=$?
  PLAYER_PID=
  check "player ended with status $1 (got $rc)" test "$rc" = "$1"
}

# ---- one self-contained Linux demo file, compact as bundle makes it by default ----
DEMO=$WORK/galculator-demo
"$TOOL" bundle "$SAMPLE" --player "$PLAYER" -o "$DEMO" >/dev/null || { fail "bundle"; exit 1; }
form=$("$TOOL" info "$DEMO" --json | grep -o '"form":"[a-z]*"')
check "the bundle is compact ($form)" test "$form" = '"form":"compact"'
chmod +x "$DEMO"
mkdir -p "$WORK/elsewhere"
cd "$WORK/elsewhere" || exit 1  # no side files here: the content must come from the file itself
# A folder the presenter cannot write, with the demo in it: root ignores
# permission bits, so there it is bound read-only in a mount namespace of its own.
chmod a-w "$WORK/elsewhere"
if [ "$(id -u)" = 0 ]; then
  unshare -m sh -c 'mount --bind "$1" "$1" && mount -o remount,ro,bind "$1" "$1" && exec "$2"' sh \
    "$WORK/elsewhere" "$DEMO" >"$WORK/out1.txt" 2>&1 &
else
  "$DEMO" >"$WORK/out1.txt" 2>&1 &
fi
PLAYER_PID=$!

# ---- splash ----
check "splash window shown" await xdotool search --onlyvisible --class RXDsplash
sleep 0.5
import -window root "$SHOTS/splash-screen.png"
SPLASH=$(xdotool search --onlyvisible --class RXDsplash | head -1)
read -r sx sy sw sh < <(geometry "$SPLASH")
check "splash centred in the screen" test "$((sx + sw / 2))" -ge 630 -a "$((sx + sw / 2))" -le 650
# the presenter clicks anywhere in it
xdotool mousemove $((sx + sw / 2)) $((sy + sh - 30)) click 1
await_frame welcome
W=$(main_window)
read -r wx wy ww wh < <(geometry "$W")
check "main window at 40,40 sized 800 x 600 (is $wx,$wy ${ww}x$wh)" test "$wx $wy $ww $wh" = "40 40 800 600"
check "splash gone" bash -c "! xdotool search --onlyvisible --class RXDsplash"
check "played from a read-only folder, which stays empty" test -z "$(ls -A "$WORK/elsewhere")"
icon=$(xprop -id "$W" -notype _NET_WM_ICON 2>&1)
check "window icon given as 16 x 16 pixels" grep -q "Icon (16 x 16):" <<<"$icon"

# ---- notes with F4, frame pixels ----
shot welcome-notes
"$TOOL" render "$DEMO" welcome -o "$SHOTS/ref-welcome-notes.png" >/dev/null 2>&1
n=$(differ "$SHOTS/welcome-notes.png" "$SHOTS/ref-welcome-notes.png" "$BELOW_TITLE")
check "speaker notes drawn over the frame ($n pixels)" test "${n:-0}" -gt 1000
key_shot F4 welcome
check "notes hidden by F4: the window shows the composed frame" same_as_render welcome welcome
key_shot F4 welcome-notes2
check "notes back with F4" test "$(differ "$SHOTS/welcome-notes.png" "$SHOTS/welcome-notes2.png" 800x600+0+0)" = 0
xdotool key F4 sleep 0.5

# ---- help with F1 ----
key_shot F1 welcome-help
check "F1: the help title appears in the title band" test "$(differ "$SHOTS/welcome.png" "$SHOTS/welcome-help.png" 800x28+0+0)" -gt 100
key_shot F1 welcome-nohelp
check "F1 again: help gone" test "$(differ "$SHOTS/welcome.png" "$SHOTS/welcome-nohelp.png" 800x600+0+0)" = 0

# ---- a KeyDown action, then the timed frames ----
xdotool key a
await_frame home
shot home
check "home after the timed frames shows its composed frame" same_as_render home home
check "timed frames shown in order" grep -q "Frame 6: move-a6" "$WORK/out1.txt"

# F1 on a frame with hotspots draws red boxes on the frame itself
key_shot F1 home-help
check "F1 on home: help boxes drawn on the frame" test "$(differ "$SHOTS/home.png" "$SHOTS/home-help.png" "$BELOW_TITLE")" -gt 100
xdotool key F1 sleep 0.5

# ---- hover, click, release ----
xdotool mousemove $((wx + 80)) $((wy + 468))
await_frame hover-1
shot hover-1
check "hover frame overlays home" same_as_render hover-1 hover-1 home
xdotool click 1
await_frame typed-1
shot typed-1
check "click and release on the key: typed-1" same_as_render typed-1 typed-1

# ---- history: Left Arrow steps back, Home goes home ----
xdotool mousemove $((wx + 400)) $((wy + 300))
sleep 0.3
xdotool key Left
await bash -c "! xprop -id $W -notype _DEMOPLAYER_FRAME | grep -q typed-1"
check "Left Arrow leaves typed-1" bash -c "! xprop -id $W -notype _DEMOPLAYER_FRAME | grep -q typed-1"
xdotool key Home
await_frame home

# ---- Shift glides the pointer to the next action ----
xdotool mousemove $((wx + 400)) $((wy + 80))
sleep 0.3
xdotool key shift
check "Shift glides the pointer onto the 1 key" await pointer_in $((wx + 6)) $((wy + 429)) $((wx + 158)) $((wy + 508))
# Every frame shown nudges the pointer, so Home with the pointer still on the
# key would hover it again: wait for the glide's end, then leave the key.
await pointer_still
xdotool mousemove $((wx + 400)) $((wy + 300))

# ---- another program reads the frame's name ----
xdotool key Home
await_frame home
name=$("$PROBE" query "$W")
check "frame name answered into another program's window ($name)" test "$name" = home

# ---- the title band drags the window ----
xdotool mousemove $((wx + 300)) $((wy + 10)) mousedown 1 mousemove $((wx + 320)) $((wy + 20)) mousemove $((wx + 350)) $((wy + 40)) mouseup 1
sleep 0.5
read -r dx dy _ _ < <(geometry "$W")
check "title band drag moves the window by 50,30 (now $dx,$dy)" test "$dx $dy" = "90 70"

# ---- a close request ends the demo with status 0 ----
"$PROBE" close "$W"
await_exit 0
check "frame lines on standard output" grep -q "Frame 0: welcome" "$WORK/out1.txt"

# ---- compact side files, a start frame, the Escape key ----
cd "$SAMPLE" || exit 1
check "the sample's stack is compact" test -f demoStack.rxz -a ! -e demoStack.rxs
play out2 typed-1
await_frame typed-1
check "no splash with a start frame" bash -c "! xdotool search --onlyvisible --class RXDsplash"
W=$(main_window)
read -r wx wy _ _ < <(geometry "$W")
xdotool mousemove $((wx + 400)) $((wy + 300)) key F4
sleep 0.5
shot start-typed-1
DEMO=$SAMPLE
check "side-file demo shows its start frame" same_as_render start-typed-1 typed-1
# the rounded top: the corner pixel is the desktop's, the title band's next to it
corner=$(convert "$SHOTS/start-typed-1.png" -format '%[pixel:p{0,0}]' info:)
band=$(convert "$SHOTS/start-typed-1.png" -format '%[pixel:p{12,0}]' info:)
drawn=$(convert "$SHOTS/ref-start-typed-1.png" -format '%[pixel:p{0,0}]' info:)
check "rounded top corner cut out ($corner, frame $drawn, band $band)" \
  test "$corner" = "srgb(0,0,0)" -a "$drawn" != "srgb(0,0,0)" -a "$band" != "srgb(0,0,0)"
# the minimise area of the title band, then the close area
xdotool mousemove $((wx + 800 - 60)) $((wy + 10)) click 1
check "minimise area takes the window off the screen" await bash -c "! xwininfo -id $W | grep -q IsViewable"
"$PROBE" close "$W"
await_exit 0

play out4 home
await_frame home
W=$(main_window)
read -r wx wy _ _ < <(geometry "$W")
xdotool mousemove $((wx + 800 - 10)) $((wy + 10)) click 1
await_exit 0
check "close area ends the demo after showing home" grep -q "Frame 7: home" "$WORK/out4.txt"

# ---- back to full size from a cut-out frame, the keyboard stays with the player ----
play out7 about
await_frame about
W=$(main_window)
read -r ax ay _ _ < <(geometry "$W")
# The About box's Close button, frame (560, 465), in a window cut out at frame (174, 134).
xdotool mousemove $((ax + 386)) $((ay + 331)) click 1
await_frame file-ready
xdotool mousemove 1200 1000  # off the window: the keys must go to it all the same
shown=$(grep -c "Frame" "$WORK/out7.txt")
xdotool key F4
check "F4 after the cut-out frame redraws the frame" await bash -c "[ \$(grep -c Frame '$WORK/out7.txt') -gt $shown ]"
xdotool key Escape
await_exit 0

# ---- the splash has the keyboard wherever the pointer is: Right Arrow shows frame 0, Escape ends ----
play out6
check "splash shown for Right Arrow" await xdotool search --onlyvisible --class RXDsplash
xdotool mousemove 5 5 key Right
await_frame welcome
xdotool key Escape
await_exit 0

play out7
check "splash shown for Escape" await xdotool search --onlyvisible --class RXDsplash
xdotool mousemove 5 5 key Escape
await_exit 0
check "Escape on the splash showed no frame" bash -c "! grep -q 'Frame ' '$WORK/out7.txt'"

echo "$FAILS failure(s)"
[ "$FAILS" -eq 0 ]
