#!/usr/bin/env bash
# Plays the bundled sample with the Windows player under Wine on a virtual X display, drives it with xdotool and checks screenshots.
#
# usage: run_e2e.sh PLAYER_EXE DEMOTOOL SAMPLE_DIR BOX_TEXT_EXE [KEEP_DIR]
#   PLAYER_EXE    the cross-built demoplayer.exe
#   DEMOTOOL      a host demotool (bundles the demo and renders reference frames)
#   SAMPLE_DIR    the packed sample (demoFlow.txt, demoStack.rxz)
#   BOX_TEXT_EXE  the cross-built box_text.exe (reads a message box's text)
#   KEEP_DIR      optional: screenshots and logs are kept there
# Needs wine, Xvfb, xdotool and ImageMagick (import, convert, compare).
set -euo pipefail

player=$(realpath "$1")
demotool=$(realpath "$2")
sample=$(realpath "$3")
box_text=$(realpath "$4")
keep=${5:-}

work=$(mktemp -d /tmp/demo_e2e_win32.XXXXXX)
shots=$work/shots
mkdir -p "$shots"
xvfb_pid=
player_pid=
readonly_mount=
failures=0

cleanup() {
  # Only what this script started is stopped.
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
  [ -n "${WINEPREFIX:-}" ] && [ "$WINEPREFIX" = "$work/prefix" ] && wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${small_pid:-}" ] && kill "$small_pid" 2>/dev/null || true
  if [ -n "$keep" ]; then
    mkdir -p "$keep" && cp -r "$shots" "$work"/*.log "$keep"/ 2>/dev/null || true
  fi
  [ -n "$readonly_mount" ] && umount "$readonly_mount" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

note() { echo "e2e: $*"; }
fail() {
  echo "e2e: FAIL: $*" >&2
  failures=$((failures + 1))
}
die() {
  echo "e2e: FAIL: $*" >&2
  [ -f "$work/${current_log:-player}.log" ] && sed 's/^/  player: /' "$work/${current_log:-player}.log" >&2
  exit 1
}

# Waits for a condition; the limit only guards against a hang, it measures nothing.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 1 600); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  die "timed out waiting for $what"
}

# ---- the virtual display and a fresh Wine prefix ----
display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=:$n; break; fi
done
[ -n "$display" ] || die "no free X display number"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
wait_for "the X display" xdpyinfo
export WINEPREFIX=${DEMO_E2E_WINEPREFIX:-$work/prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >"$work/wineboot.log" 2>&1 || die "wineboot failed"

# ---- a self-contained demo made from the Windows player: compact, as bundle makes it by default ----
mkdir -p "$work/run"
"$demotool" bundle "$sample" --player "$player" -o "$work/run/demo.exe" >"$work/bundle.log" 2>&1 ||
  die "demotool bundle failed: $(cat "$work/bundle.log")"
form() { "$demotool" info "$1" --json | grep -o '"form":"[a-z]*"'; }
[ "$(form "$work/run/demo.exe")" = '"form":"compact"' ] || die "the bundle is not compact: $(form "$work/run/demo.exe")"


render() {  # render FRAME OUT.png
  "$demotool" render "$sample" "$1" -o "$2" >/dev/null 2>&1 || die "demotool render $1 failed"
}

shot() { import -window root "$shots/$1.png"; }

# The window's top-left corner on the screen.
window_origin() {
  local id
  id=$(xdotool search --onlyvisible --name "^$1\$" | head -1)
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  echo "$X $Y"
}

# Frame pixels of a screenshot: the window's client area below the title
# band (the status title is text), with the corners the region cuts off blackened.
band=28
frame_part() {  # frame_part IN.png X Y W H OUT.png
  local in=$1 x=$2 y=$3 w=$4 h=$5 out=$6
  convert "$in" -crop "${w}x$((h - band))+$x+$((y + band))" +repage -fill black \
    -draw "rectangle 0,$((h - band - 6)) 5,$((h - band - 1))" \
    -draw "rectangle $((w - 6)),$((h - band - 6)) $((w - 1)),$((h - band - 1))" "$out"
}

differing_pixels() {  # differing_pixels A.png B.png
  compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1 || true
}

colour_count() {  # colour_count IN.png COLOUR
  convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}

# Checks the window shows FRAME exactly (outside text); returns the count of differing pixels.
frame_diff() {  # frame_diff SHOT FRAME
  render "$2" "$work/ref-$2.png"
  local w h
  w=$(identify -format '%w' "$work/ref-$2.png")
  h=$(identify -format '%h' "$work/ref-$2.png")
  frame_part "$shots/$1.png" "$wx" "$wy" "$w" "$h" "$work/got-$1.png"
  frame_part "$work/ref-$2.png" 0 0 "$w" "$h" "$work/want-$1.png"
  differing_pixels "$work/got-$1.png" "$work/want-$1.png"
}

# The player writes text-mode output: lines end in CR LF.
current_log=player
log() { tr -d '\r' <"$work/${1:-$current_log}.log"; }
shows_frame() { log | grep -q "Frame $1: $2\$"; }
frame_count() { log | grep -c "Frame " || true; }
more_frames() { [ "$(frame_count)" -gt "$before" ]; }
last_frame() { log | grep -o "Frame .*" | tail -1; }
ended() { ! kill -0 "$player_pid" 2>/dev/null; }

# Starts the player in the background: start LOG DIR PROGRAM [ARG...]
start() {
  current_log=$1
  local dir=$2
  shift 2
  (cd "$dir" && exec wine "$@" >"$work/$current_log.log" 2>&1) &
  player_pid=$!
}
# The player's end: finished STATUS WHAT
finished() {
  local status=0
  wait "$player_pid" || status=$?
  player_pid=
  [ "$status" = "$1" ] || fail "$2 ended the player with status $status: $(log)"
}
# F4 redraws the frame, which must then be FRAME as demotool renders it: redrawn SHOT FRAME
redrawn() {
  local d
  before=$(frame_count)
  xdotool key F4
  wait_for "the frame shown again after F4" more_frames
  sleep 0.5
  shot "$1"
  d=$(frame_diff "$1" "$2")
  [ "$d" = 0 ] || fail "shot '$1' differs from demotool render of '$2' in $d pixels"
}

# ---- run 1: splash, keys, pointer, help, notes, Esc ----
note "starting the bundled demo"
start player "$work/run" demo.exe

wait_for "the splash window" window_origin "Tavrin Demo"
read -r sx sy < <(window_origin "Tavrin Demo")
# The splash paints its text once the frame index is complete.
sleep 1
shot splash
splash_bg=$(convert "$shots/splash.png" -crop 750x570+"$sx"+"$sy" +repage miff:- | colour_count - 'rgb(200,255,200)')
[ "$splash_bg" -gt 100000 ] || fail "the splash window is not painted in its background colour ($splash_bg pixels)"

xdotool mousemove $((sx + 375)) $((sy + 300)) click 1
wait_for "the main window" window_origin "galculator"
wait_for "frame 0" shows_frame 0 welcome
read -r wx wy < <(window_origin "galculator")
note "main window at $wx,$wy"
sleep 1
shot welcome-notes
notes_px=$(convert "$shots/welcome-notes.png" -crop 800x600+"$wx"+"$wy" +repage miff:- | colour_count - 'rgb(200,255,200)')
[ "$notes_px" -gt 5000 ] || fail "no speaker notes on the first frame ($notes_px pixels of their colour)"

# F4 hides the notes: what is left is the composed frame, pixel for pixel.
redrawn welcome welcome
notes_px=$(convert "$shots/welcome.png" -crop 800x600+"$wx"+"$wy" +repage miff:- | colour_count - 'rgb(200,255,200)')
[ "$notes_px" -lt 100 ] || fail "F4 did not hide the notes ($notes_px pixels of their colour)"

# A key starts the demo; its timers run on to the calculator's home frame.
xdotool key space
wait_for "frame 1" shows_frame 1 move-a1
wait_for "frame 7 by the timers" shows_frame 7 home
sleep 0.5
shot home
d=$(frame_diff home home)
[ "$d" = 0 ] || fail "frame 'home' differs from demotool render in $d pixels"

# F1 draws the help boxes in red over the hotspots.
before=$(frame_count)
xdotool key F1
wait_for "the frame shown again after F1" more_frames
sleep 0.5
shot home-help
red_ref=$(colour_count "$work/ref-home.png" 'rgb(255,0,0)')
red_got=$(convert "$shots/home-help.png" -crop 800x600+"$wx"+"$wy" +repage miff:- | colour_count - 'rgb(255,0,0)')
[ "$red_got" -gt $((red_ref + 400)) ] || fail "F1 drew no help boxes ($red_got red pixels, frame has $red_ref)"
before=$(frame_count)
xdotool key F1
wait_for "the frame shown again after F1" more_frames

# Hover over the 1 key, press and release on it.
xdotool mousemove $((wx + 80)) $((wy + 470))
wait_for "the hover frame" shows_frame 8 hover-1
xdotool mousedown 1
wait_for "the pressed frame" shows_frame 9 press-1
xdotool mouseup 1
wait_for "the typed frame" shows_frame 10 typed-1
sleep 0.5
shot typed-1
d=$(frame_diff typed-1 typed-1)
[ "$d" = 0 ] || fail "frame 'typed-1' differs from demotool render in $d pixels"
xdotool mousemove $((wx + 240)) $((wy + 470)) click 1
wait_for "the next typed frame" shows_frame 11 typed-12

# Left Arrow steps back, Home returns to the home frame.
before=$(frame_count)
xdotool key Left
wait_for "a frame after Left Arrow" more_frames
[ "$(last_frame)" = "Frame 10: typed-1" ] ||
  fail "Left Arrow did not step back to typed-1: $(last_frame)"
before=$(frame_count)
xdotool key Home
wait_for "a frame after Home" more_frames
[ "$(last_frame)" = "Frame 7: home" ] ||
  fail "Home did not return to home: $(last_frame)"

# Shift glides the pointer to the next action's place: inside the 1 key's hotspot.
xdotool mousemove $((wx + 700)) $((wy + 80))
sleep 0.3
xdotool key shift
glided() {
  eval "$(xdotool getmouselocation --shell)"
  local fx=$((X - wx)) fy=$((Y - wy))
  [ "$fx" -ge 6 ] && [ "$fx" -le 158 ] && [ "$fy" -ge 429 ] && [ "$fy" -le 508 ]
}
wait_for "the pointer to glide into the 1 key" glided
hovered() { [ "$(last_frame)" = "Frame 8: hover-1" ]; }
wait_for "the hover frame after the glide" hovered

# Esc ends the demo with status 0.
xdotool key Escape
finished 0 "Esc"
note "run 1 done: $(frame_count) frames shown"

# Without a window manager, Wine hands a key to the active window only while
# the pointer is over one of its windows: the pointer is put there first.

# ---- run 2: Right Arrow on the splash dismisses it as a click does ----
start player-keys "$work/run" demo.exe
wait_for "the splash window" window_origin "Tavrin Demo"
read -r sx sy < <(window_origin "Tavrin Demo")
xdotool mousemove $((sx + 375)) $((sy + 300)) key Right
wait_for "frame 0 after Right Arrow on the splash" shows_frame 0 welcome
xdotool key Escape
wait_for "the player to end by Esc" ended
finished 0 "Esc after Right Arrow on the splash"

# ---- run 3: Esc on the splash ends the demo before any frame shows ----
start player-esc "$work/run" demo.exe
wait_for "the splash window" window_origin "Tavrin Demo"
read -r sx sy < <(window_origin "Tavrin Demo")
xdotool mousemove $((sx + 375)) $((sy + 300)) key Escape
wait_for "the player to end after Esc on the splash" ended
finished 0 "Esc on the splash"
[ "$(frame_count)" = 0 ] || fail "Esc on the splash still showed $(frame_count) frames"

# ---- run 4: a drag by the title band, then the close area ----
# Started on a frame: without the splash, the main window is made the
# foreground window straight after its first show.
start player-drag "$work/run" demo.exe home
wait_for "the home frame" shows_frame 7 home
wait_for "the main window" window_origin "galculator"
read -r wx wy < <(window_origin "galculator")
# Pressed in the captured title band and moved by (40, 20) in two steps, the
# window moves with the pointer and stays where it was let go.
xdotool mousemove $((wx + 160)) $((wy + 12)) mousedown 1
sleep 0.3
xdotool mousemove $((wx + 180)) $((wy + 22))
sleep 0.3
xdotool mousemove $((wx + 200)) $((wy + 32))
sleep 0.3
xdotool mouseup 1
sleep 0.5
dragged=$(window_origin "galculator")
[ "$dragged" = "$((wx + 40)) $((wy + 20))" ] || fail "a drag by (40, 20) from $wx,$wy left the window at $dragged"
xdotool mousemove 400 300
sleep 0.3
xdotool mousemove 600 500
sleep 0.5
[ "$(window_origin "galculator")" = "$dragged" ] ||
  fail "the window went on following the pointer after the release: at $(window_origin "galculator")"
read -r wx wy <<<"$dragged"
redrawn dragged home
# The close area at the band's right end ends the demo.
xdotool mousemove $((wx + 785)) $((wy + 12)) click 1
wait_for "the player to end by its close area" ended
finished 0 "the close area"

# ---- run 5: back to full size from a cut-out frame, the keyboard stays ----
start player-cutout "$work/run" demo.exe about
wait_for "the About box" shows_frame 22 about
wait_for "the cut-out window" window_origin "galculator"
read -r ax ay < <(window_origin "galculator")
# Its Close button, frame (560, 465), in a window cut out at frame (174, 134).
xdotool mousemove $((ax + 386)) $((ay + 331)) click 1
wait_for "the frame after the About box" shows_frame 24 closed
full_size() { [ "$(window_origin "galculator")" = "40 40" ]; }
wait_for "the window back at full size" full_size
wx=40 wy=40
wait_for "the timers to reach file-ready" shows_frame 30 file-ready
xdotool mousemove 400 300
redrawn file-ready file-ready
xdotool key Escape
wait_for "the player to end by Esc" ended
finished 0 "Esc after the About box"

# ---- run 6: compact side files, a start frame on the command line, no splash, then a close request ----
cp "$sample/demoFlow.txt" "$sample/demoStack.rxz" "$player" "$work/run/"
start player2 "$work/run" "$(basename "$player")" typed-1
wait_for "the main window" window_origin "galculator"
started() { log player2 | grep -q 'Frame 10: typed-1$'; }
wait_for "the start frame" started
if xdotool search --onlyvisible --name '^Tavrin Demo$' >/dev/null 2>&1; then fail "a start frame argument still showed the splash"; fi
read -r wx wy < <(window_origin "galculator")
redrawn arg-start typed-1
# Alt+F4 is the system's close request (WM_CLOSE through the default procedure).
xdotool key alt+F4
finished 0 "the close request"

# ---- run 7: a raw bundle with a non-ASCII name, started from another folder ----
current_log=player4
mkdir -p "$work/démo folder"
"$demotool" bundle "$sample" --player "$player" -o "$work/démo folder/démo.exe" --raw >"$work/bundle-raw.log" 2>&1 ||
  die "demotool bundle --raw failed: $(cat "$work/bundle-raw.log")"
[ "$(form "$work/démo folder/démo.exe")" = '"form":"raw"' ] || die "the --raw bundle is $(form "$work/démo folder/démo.exe")"
(cd "$work" && LC_ALL=C.UTF-8 exec wine "démo folder/démo.exe" home >"$work/player4.log" 2>&1) &
player_pid=$!
wait_for "the home frame of the renamed demo" shows_frame 7 home
wait_for "the main window" window_origin "galculator"
read -r wx wy < <(window_origin "galculator")
redrawn raw-home home
xdotool key Escape
finished 0 "Esc on the renamed demo"

# ---- run 8: a screen smaller than the frame: the halftone-stretched copy ----
# A second display of 640 x 480 makes the player scale the 800 x 600 frame to
# 0.8. The stretch is the system's, so it is compared with a box-filtered
# reduction of the composed frame within a small error, not pixel for pixel.
small=
for n in $(seq $((${display#:} + 1)) 160); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then small=:$n; break; fi
done
[ -n "$small" ] || die "no free X display number for the small screen"
Xvfb "$small" -screen 0 640x480x24 -nolisten tcp >"$work/xvfb-small.log" 2>&1 &
small_pid=$!
export DISPLAY=$small
wait_for "the small X display" xdpyinfo
# A Wine session keeps the display it started on: end it (no player runs now).
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
start player5 "$work/run" "$(basename "$player")" home
wait_for "the scaled home frame" shows_frame 7 home
wait_for "the main window on the small screen" window_origin "galculator"
read -r wx wy < <(window_origin "galculator")
before=$(frame_count)
xdotool key F4
wait_for "the frame shown again after F4" more_frames
sleep 0.5
shot scaled-home
render home "$work/ref-home.png"
convert "$work/ref-home.png" -filter Box -resize 640x480! "$work/ref-home-small.png"
frame_part "$shots/scaled-home.png" "$wx" "$wy" 640 480 "$work/got-scaled.png"
frame_part "$work/ref-home-small.png" 0 0 640 480 "$work/want-scaled.png"
error=$(compare -metric RMSE "$work/got-scaled.png" "$work/want-scaled.png" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p' || true)
awk -v e="${error:-1}" 'BEGIN { exit !(e < 0.05) }' || fail "the stretched frame is far from the composed one (RMSE $error)"
note "stretched frame RMSE $error"
xdotool key Escape
finished 0 "Esc on the small screen"
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
kill "$small_pid" 2>/dev/null || true
export DISPLAY=$display

# ---- run 9: no content at all is a fatal failure with a non-zero status ----
# Started without a console, as by a double click: the failure's code goes to
# standard output and a message box says in plain words what to do.
mkdir -p "$work/empty"
cp "$player" "$work/empty/"
start player3 "$work/empty" "$(basename "$player")"
wait_for "the message box explaining the failure" window_origin "Exiting"
text=$(wine "$box_text" Exiting | tr -d '\r')
want="The demo's content file demoStack.rxs is missing from the folder $(winepath -w "$work/empty").

Put the demo's files demoFlow.txt and demoStack.rxs into that folder (unzip the whole demo first), then start the demo again.

(NoStack1)"
[ "$text" = "$want" ] || fail "the failure's message box says: $text"
shot no-content-box
read -r bx by < <(window_origin "Exiting")
xdotool mousemove $((bx + 20)) $((by + 20)) key Return
wait_for "the player to end once the box is read" ended
[ "$(log)" = "NoStack1" ] || fail "a demo without content printed: $(log)"
finished 1 "a demo without content"

# ---- run 10: a demo played from a folder that cannot be written ----
# Root may write anywhere, whatever the folder's permissions say: for root the
# folder is bound read-only onto itself (for every process, the wineserver
# that opens files included) and unbound when the suite ends.
mkdir -p "$work/readonly"
cp "$work/run/demo.exe" "$work/readonly/"
chmod a-w "$work/readonly"
if [ "$(id -u)" = 0 ]; then
  mount --bind "$work/readonly" "$work/readonly" || die "cannot bind the read-only folder"
  readonly_mount=$work/readonly
  mount -o remount,ro,bind "$work/readonly" || die "cannot make the folder read-only"
fi
if touch "$work/readonly/probe" 2>/dev/null; then die "the read-only folder can be written"; fi
start player-readonly "$work/readonly" demo.exe home
wait_for "the home frame from the read-only folder" shows_frame 7 home
wait_for "the main window" window_origin "galculator"
xdotool mousemove 400 300 key Escape
wait_for "the player to end by Esc" ended
finished 0 "the demo in a read-only folder"
[ "$(ls -A "$work/readonly")" = "demo.exe" ] || fail "the read-only folder holds: $(ls -A "$work/readonly")"

# ---- run 11: the presenter view: the audience sees the frame alone, keys in the view act in the demo ----
start player-presenter "$work/run" demo.exe home
wait_for "the home frame" shows_frame 7 home
wait_for "the main window" window_origin "galculator"
read -r wx wy < <(window_origin "galculator")
xdotool mousemove 400 300 key F5
view() { xdotool search --onlyvisible --name '^galculator - presenter view$' | head -1; }
view_shown() { [ -n "$(view)" ]; }
wait_for "the presenter view" view_shown
# One monitor: the view stands over the audience window's right part; the presenter moves and sizes it.
xdotool windowsize --sync "$(view)" 420 600 windowmove --sync "$(view)" 850 40
sleep 1
shot presenter
d=$(frame_diff presenter home)
[ "$d" = 0 ] || fail "with the presenter view open the audience window differs from the plain frame in $d pixels"
read -r vx vy < <(window_origin "galculator - presenter view")
# Drawn for its new size: the key hint at its bottom, light on the dark ground.
convert "$shots/presenter.png" -crop "380x40+$((vx + 20))+$((vy + 540))" +repage -colorspace gray -threshold 50% "$work/hint.png"
light=$(convert "$work/hint.png" -format '%[fx:round(mean*w*h)]' info:)
[ "${light:-0}" -gt 100 ] || fail "the resized presenter view shows no key hint at its bottom ($light light pixels)"
before=$(frame_count)
xdotool windowactivate --sync "$(view)" 2>/dev/null || xdotool windowfocus --sync "$(view)"
xdotool key Right
wait_for "Right Arrow in the presenter view to step the demo on" more_frames
xdotool key F5
view_gone() { ! view_shown; }
wait_for "F5 in the view to close it" view_gone
xdotool key Escape
wait_for "the player to end by Esc" ended
finished 0 "Esc after the presenter view"

if [ "$failures" -gt 0 ]; then
  echo "e2e: $failures check(s) failed" >&2
  exit 1
fi
note "all checks passed"
