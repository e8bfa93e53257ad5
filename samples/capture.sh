#!/usr/bin/env bash
# Captures the bundled sample demo from galculator on a virtual X display: writes screens/*.png and storyboard.txt.
#
# Usage: samples/capture.sh            (as root it installs what is missing with apt-get)
#
# Everything the screens depend on is pinned here: the display size, the window
# geometry, the GTK settings (no animations, no blinking caret), the locale and
# the pointer positions. Re-running it on the same Debian release gives the same
# pictures; a different galculator or GTK version may move the buttons, and then
# the rectangles in write_storyboard below must be measured again.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# Some machines carry a stand-in `convert` earlier on the PATH; the real ImageMagick lives in /usr/bin.
export PATH=/usr/bin:/bin:$PATH

packages=(xvfb xdotool imagemagick galculator x11-utils fonts-dejavu-core)
commands=(Xvfb xdotool import convert galculator xwininfo)
missing=0
for c in "${commands[@]}"; do command -v "$c" >/dev/null || missing=1; done
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf ] || missing=1
if [ "$missing" = 1 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "capture.sh: missing tools; run as root or install: ${packages[*]}" >&2
    exit 1
  fi
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${packages[@]}"
fi

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
icon=/usr/share/icons/hicolor/48x48/apps/galculator.png

# Frame geometry. The app window sits below a title bar that we draw ourselves,
# because Xvfb runs without a window manager.
frame_w=800
frame_h=600
bar_h=28
app_w=$frame_w
app_h=$((frame_h - bar_h))
# Where the frame's top-left corner lies on the virtual screen; the app window is
# placed right below the drawn title bar.
origin_x=100
origin_y=100
app_x=$origin_x
app_y=$((origin_y + bar_h))
# A spot outside the captured area, where the pointer disturbs nothing.
park_x=1010
park_y=760
# The About box is centred over the app: its body (450 x 329) lies below a
# drawn title bar of bar_h rows, all inside a 1-pixel border.
dlg_body_x=175
dlg_body_y=163
dlg_w=450
dlg_h=329

work=$(mktemp -d)
# Screens are gathered here and replace the committed ones only once all were taken.
out=$work/screens
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and tells us its number.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "capture.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

# A private home: galculator starts from its defaults and GTK from fixed settings.
export HOME=$work/home
mkdir -p "$HOME/.config/gtk-3.0"
cat >"$HOME/.config/gtk-3.0/settings.ini" <<'EOF'
[Settings]
gtk-theme-name=Adwaita
gtk-enable-animations=false
gtk-cursor-blink=false
EOF
export LC_ALL=C.UTF-8 LANGUAGE=C NO_AT_BRIDGE=1 GTK_THEME=Adwaita

wait_window() { # NAME-REGEX -> prints the window id once it is mapped
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "capture.sh: no window '$1' appeared" >&2
  exit 1
}

# --- the title bars ------------------------------------------------------------
# Close and minimise glyphs sit in the last two bar_h-wide cells, where the player
# puts its close and minimise areas (CloseRightEdge = bar_h).
draw_bar() { # OUT BACKGROUND FOREGROUND TITLE WIDTH [minimise glyph: yes|no]
  local w=$5 cx=$(($5 - bar_h / 2)) mx=$(($5 - bar_h - bar_h / 2)) m=$((bar_h / 2))
  local minimise=()
  [ "${6:-yes}" = yes ] && minimise=(-draw "line $((mx - 5)),$((m + 5)) $((mx + 5)),$((m + 5))")
  convert -size "${w}x${bar_h}" "xc:$2" \
    \( "$icon" -resize 16x16 \) -geometry +6+6 -composite \
    -font "$font" -pointsize 13 -fill "$3" -annotate +30+19 "$4" \
    -fill none -stroke "$3" -strokewidth 2 \
    -draw "line $((cx - 5)),$((m - 5)) $((cx + 5)),$((m + 5))" \
    -draw "line $((cx - 5)),$((m + 5)) $((cx + 5)),$((m - 5))" \
    "${minimise[@]}" "$1"
}
draw_bar "$work/bar.png" '#2f343f' '#ffffff' galculator "$frame_w"
draw_bar "$work/bar-inactive.png" '#9a9fa8' '#e6e8eb' galculator "$frame_w"
draw_bar "$work/bar-dialog.png" '#2f343f' '#ffffff' 'About galculator' "$dlg_w" no

# --- taking the screens --------------------------------------------------------
mkdir -p "$out"
save_png() { # IN OUT: plain 8-bit RGB, no metadata, best zlib level
  convert "$1" -strip -define png:color-type=2 -define png:bit-depth=8 \
    -define png:compression-level=9 -define png:exclude-chunks=all "$2"
}
grab() { # OUT-RAW: the app's area of the screen, menus and dialogs included
  # A key press hides any tooltip and cancels a pending one until the pointer
  # moves again. Open menus show no tooltips, and a key would make them
  # underline their mnemonics, so they get none.
  [ "${menu_open:-no}" = yes ] || xdotool key shift
  sleep 0.5
  import -window root -crop "${app_w}x${app_h}+${app_x}+${app_y}" +repage "$1"
}
shot() { # NAME [BAR-IMAGE]
  grab "$work/raw.png"
  convert "${2:-$work/bar.png}" "$work/raw.png" -append "$work/full.png"
  save_png "$work/full.png" "$out/$1.png"
}
dialog_shot() { # NAME: the screen with the About box decorated like a managed window
  grab "$work/raw.png"
  convert "$work/bar.png" "$work/raw.png" -append \
    "$work/bar-dialog.png" -geometry "+${dlg_body_x}+$((dlg_body_y - bar_h))" -composite \
    -fill none -stroke '#2f343f' -strokewidth 1 +antialias \
    -draw "rectangle $((dlg_body_x - 1)),$((dlg_body_y - bar_h - 1)) $((dlg_body_x + dlg_w)),$((dlg_body_y + dlg_h))" \
    "$work/full.png"
  save_png "$work/full.png" "$out/$1.png"
}
move() { # X Y in frame coordinates
  xdotool mousemove "$((origin_x + $1))" "$((origin_y + $2))"
  sleep 0.2
}
click() { # X Y [BUTTON]
  move "$1" "$2"
  xdotool click "${3:-1}"
  sleep 0.5
}

# --- the storyboard --------------------------------------------------------------
# Rectangles are frame pixels (x1,y1,x2,y2, both ends included), measured on the
# screens this script takes: galculator 2.1.4, Adwaita, an 800 x 572 window.
key_1=6,429,158,508
key_1_pressed=3,427,161,512     # a pressed key's outline reaches past its border
key_2=165,429,317,508
key_mul=483,343,635,422
key_eq=642,429,793,593
memory_keys=483,171,793,250     # MR and M+, greyed out
display=6,59,793,112
client=0,28,799,599             # below the title band, which stays draggable
whole=0,0,799,599
menubar=0,28,255,52
title_file=0,28,38,52
title_edit=39,28,79,52
title_help=210,28,255,52
context_menu=431,87,570,245
context_greyed=432,88,569,190   # Cut, Copy, Paste, Delete
context_emoji=432,219,569,244
edit_menu=39,28,372,153         # title and drop-down together
item_copy=40,78,371,102
item_copy_row=39,78,372,102
help_menu=210,28,311,77
item_about=211,54,310,76
item_about_row=210,53,311,77
file_menu=0,28,148,77
item_quit=1,54,147,76
item_quit_row=0,53,148,77
about_box=174,134,625,492
about_credits=182,451,269,484
about_close=530,451,617,484
about_link=372,393,428,411
about_logo=340,179,459,298

chain_frames() { # PREFIX POSITIONS...: one Timer frame per recorded pointer position
  local prefix=$1 n=0 pos
  shift
  for pos in "$@"; do
    n=$((n + 1))
    printf '~%s%d\n$@screens/%s%d.png @cursor %s\n' "$prefix" "$n" "$prefix" "$n" "${pos/ /,}"
    printf '  ">" Timer 31 -- %s\n  IDC_WAIT MouseOver %s\n# -99\n' "${pos/ /,}" "$whole"
  done
}

write_storyboard() {
  cat <<EOF
x galculator sample demo, written by capture.sh; the build packs it with demotool pack.
WindowText "galculator"
WindowIconSm 006,006,023
HomeFrame "home"
TitleBarHeight $bar_h
CloseRightEdge $bar_h
WindowRoundingStyle=1
ScreenFill=0
InactiveUpperLeft 0,$bar_h
InactiveWidHeight $app_w,$app_h

SplashText
030
040 galculator in two minutes
030
027 A desktop calculator, captured from the real program
030
020
024 Sample demo - galculator 2.1.4 on Debian 12
EndSplashText

InactiveFrame
\$@screens/inactive.png

~welcome
\$@screens/idle.png
  ">" KeyDown 0
# -1,150
Welcome! This short demo shows galculator, a small
desktop calculator, working out 12 x 7.

Press any key to start. Right Arrow steps forward,
Left Arrow steps back, Home returns to the calculator,
F1 shows where to click, F4 hides these notes
and Esc ends the demo.
EOF
  chain_frames move-a "${chain_a[@]}"
  cat <<EOF
~home
\$@screens/idle.png
  "hover-1" MouseOver $key_1
  IDC_IBEAM MouseOver $display
  IDC_NO MouseOver $memory_keys
#
galculator starts in Basic mode. The memory keys
MR and M+ stay greyed out until a value is stored.
Point at the 1 key.
~hover-1
!O $key_1
\$@screens/hover-1.png
  "press-1" LeftClick $key_1
  IDC_HAND MouseOver $key_1
  RXD_PrevFrame ExitRect $key_1
#
The key lights up under the pointer.
Press the left mouse button on it.
~press-1
!O $key_1_pressed
\$@screens/press-1.png
  ">" Up $key_1
  "home" Up $whole
# 175,440
Held down, the key looks pressed. Release the
button on the key to type 1; releasing it
anywhere else cancels the press.
~typed-1
\$@screens/typed-1.png
  "typed-12" LeftClick $key_2
  IDC_HAND MouseOver $key_2
  IDC_NO MouseOver $memory_keys
#
The display shows 1. Click 2.
~typed-12
\$@screens/typed-12.png
  "typed-mul" LeftClick $key_mul
  IDC_HAND MouseOver $key_mul
#
Now 12. Click the multiply key (*).
~typed-mul
\$@screens/typed-mul.png
  ">" KeyDown 55
  ">" KeyDown 103
#
The keyboard works too: type 7,
on the main keys or on the number pad.
~typed-7
\$@screens/typed-7.png
  ">" KeyDown 13
  ">" LeftClick $key_eq
  IDC_HAND MouseOver $key_eq
#
Press Enter, or click =, for the result.
~result
\$@screens/result.png
  "context" RightClick $display
  IDC_IBEAM MouseOver $display
#
12 x 7 = 84. Right-click the display to see
what it offers.
~context
!O $context_menu
\$@screens/context.png
  "edit-ready" LeftClick $client
  IDC_NO MouseOver $context_greyed
  IDC_NO MouseOver $context_emoji
  IDC_ARROW MouseOver $context_menu
# 20,130
The display's own menu: with nothing
selected, most entries are greyed out.
Click anywhere to close it.
~edit-ready
\$@screens/result.png
  "edit-menu" LeftClick $title_edit
  IDC_HAND MouseOver $menubar
#
To copy the result, open the Edit menu.
~edit-menu
!O $edit_menu
\$@screens/edit-menu.png
  "edit-copy" MouseOver $item_copy
  RXD_PrevFrame LeftClick $client
#
Point at Copy Display Value and click it
to put the result on the clipboard.
~edit-copy
!O $item_copy_row
\$@screens/edit-copy.png
  "copied" LeftClick $item_copy
  IDC_HAND MouseOver $item_copy
  "edit-menu" ExitRect $item_copy
#=edit-menu
~copied
\$@screens/copied.png
  "help-menu" LeftClick $title_help
  IDC_HAND MouseOver $menubar
#
84 is on the clipboard now. Who made this
calculator? Open the Help menu.
~help-menu
!O $help_menu
\$@screens/help-menu.png
  "help-about" MouseOver $item_about
  RXD_PrevFrame LeftClick $client
#
Point at About and click it.
~help-about
!O $item_about_row
\$@screens/help-about.png
  "about" LeftClick $item_about
  IDC_HAND MouseOver $item_about
  "help-menu" ExitRect $item_about
#=help-menu
~about
!S $about_box
\$@screens/about.png
  "credits" LeftClick $about_credits
  "closed" LeftClick $about_close
  IDC_HAND MouseOver $about_credits
  IDC_HAND MouseOver $about_close
  IDC_HAND MouseOver $about_link
  IDC_CROSS MouseOver $about_logo
# -1,300
Only the About box shows now; drag its title
bar to move it. Click Credits for the authors.
~credits
!S $about_box
\$@screens/credits.png
  "about" LeftClick $about_credits
  "closed" LeftClick $about_close
  IDC_HAND MouseOver $about_credits
  IDC_HAND MouseOver $about_close
# -1,180
The authors. Click Credits again to go back,
or Close to return to the calculator.
~closed
\$@screens/closed.png @cursor 573,467
  ">" Timer 600 -- 573,467
  IDC_WAIT MouseOver $whole
# -99
EOF
  chain_frames move-b "${chain_b[@]:0:5}"
  cat <<EOF
~file-ready
\$@screens/move-b6.png
  "file-menu" LeftClick $title_file
  IDC_HAND MouseOver $menubar
#
That is the tour. To finish, open the File menu
(or click the x at the top right).
~file-menu
!O $file_menu
\$@screens/file-menu.png
  "file-quit" MouseOver $item_quit
  RXD_PrevFrame LeftClick $client
#
Click Quit to end the demo.
~file-quit
!O $item_quit_row
\$@screens/file-quit.png
  RXD_EXIT LeftClick $item_quit
  IDC_HAND MouseOver $item_quit
  "file-menu" ExitRect $item_quit
#
Quit closes galculator and ends the demo.
Thank you!

EOF
}

# --- driving galculator ----------------------------------------------------------
xdotool mousemove "$park_x" "$park_y"
galculator >"$work/galculator.log" 2>&1 &
app_pid=$!
win=$(wait_window '^galculator$')
xdotool windowsize "$win" "$app_w" "$app_h"
xdotool windowmove "$win" "$app_x" "$app_y"
sleep 1
# The window came up under wherever the pointer was: cross it once so that no
# button keeps a stale hover highlight.
move 400 86
xdotool mousemove "$park_x" "$park_y"
sleep 1

shot idle
shot inactive "$work/bar-inactive.png"
# A recorded pointer movement: the pointer travels towards the 1 key, one screen per step.
chain_a=("420 300" "360 330" "300 360" "240 390" "190 410" "161 425")
for i in "${!chain_a[@]}"; do move ${chain_a[$i]}; shot "move-a$((i + 1))"; done
move 82 468;    shot hover-1                  # the 1 key lights up under the pointer
xdotool mousedown 1; sleep 0.3
shot press-1                                  # held down, not yet released
xdotool mouseup 1; sleep 0.5
shot typed-1
click 241 468;  shot typed-12
click 559 382;  shot typed-mul
xdotool key 7;      sleep 0.4; shot typed-7
xdotool key Return; sleep 0.4; shot result
click 430 86 3; menu_open=yes shot context    # right-click on the display
click 100 86                                  # a click outside closes the menu again
click 59 40;    menu_open=yes shot edit-menu
move 120 89;    menu_open=yes shot edit-copy  # pointing at "Copy Display Value"
click 120 89;   shot copied
click 233 40;   menu_open=yes shot help-menu
move 270 64;    menu_open=yes shot help-about
click 270 64
dlg=$(wait_window '^About galculator$')
xdotool windowmove "$dlg" "$((origin_x + dlg_body_x))" "$((origin_y + dlg_body_y))"
sleep 1
dialog_shot about
click 225 467;  dialog_shot credits           # the Credits toggle
click 225 467                                 # back to the first page
click 573 467;  shot closed                   # the Close button
# The second recorded movement: from the Close button up to the File menu.
chain_b=("500 400" "400 310" "280 210" "160 120" "60 60" "19 40")
for i in "${!chain_b[@]}"; do move ${chain_b[$i]}; shot "move-b$((i + 1))"; done
click 19 40;    menu_open=yes shot file-menu
move 40 64;     menu_open=yes shot file-quit
click 40 64                                   # Quit ends galculator
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
app_pid=

write_storyboard >"$work/storyboard.txt"
rm -rf "$here/screens"
mv "$out" "$here/screens"
mv "$work/storyboard.txt" "$here/storyboard.txt"
echo "capture.sh: $(ls "$here/screens" | wc -l) screens in $here/screens, storyboard in $here/storyboard.txt"
