# What the end-to-end scripts share: reporting, a display of their own, waiting for windows, and for the
# recording tests checking rectangles and replaying.
# Sourced; the caller sets FAILS=0 and, for check_clicks, CLICKS=("X Y WIDGET-RECT" ...).

fail() {
  echo "FAIL: $*"
  FAILS=$((FAILS + 1))
}
pass() { echo "ok: $*"; }
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# The EXIT trap of a script with an X server of its own: stops the player and
# the server, and removes WORK unless a check failed or the caller gave
# SHOTS_DIR (KEEP non-empty).
finish_x() {
  local pid
  for pid in "${PLAYER_PID:-}" "${XVFB_PID:-}" "${XORG_PID:-}"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  if [ "$FAILS" -eq 0 ] && [ -z "${KEEP:-}" ]; then rm -rf "$WORK"; else echo "kept: $WORK"; fi
}

# An Xvfb display of its own: start_xvfb WORK SCREEN (as WxHxD); sets XVFB_PID and DISPLAY.
# The display must take a client before it counts: a server that named its
# display and could not serve it (seen once in CI) is replaced.
start_xvfb() {
  local attempt
  for attempt in 1 2 3; do
    : >"$1/display"
    Xvfb -displayfd 5 -screen 0 "$2" -nolisten tcp 5>"$1/display" 2>"$1/xvfb.log" &
    XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.1; done
    if [ -s "$1/display" ]; then
      export DISPLAY=:$(head -n1 "$1/display")
      for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && return 0; sleep 0.1; done
    fi
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  done
  echo "FAIL: Xvfb did not start ($(cat "$1/xvfb.log"))"
  exit 1
}

wait_window() {
  local id
  for _ in $(seq 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Each click's rectangle holds the click and lies within 2 pixels of the widget's
# edges ("-": no widget of its own, the click only has to be inside).
check_clicks() {  # STORYBOARD
  local i=0 rect x y want_rect a b c d wa wb wc wd
  near() { local v=$(($1 - $2)); [ ${v#-} -le 2 ]; }
  while read -r rect; do
    read -r x y want_rect <<<"${CLICKS[$i]}"
    IFS=, read -r a b c d <<<"$rect"
    [ "$want_rect" = - ] && want_rect=$rect
    IFS=, read -r wa wb wc wd <<<"$want_rect"
    if [ "$x" -ge "$a" ] && [ "$x" -le "$c" ] && [ "$y" -ge "$b" ] && [ "$y" -le "$d" ] &&
      near "$a" "$wa" && near "$b" "$wb" && near "$c" "$wc" && near "$d" "$wd"; then
      pass "click $((i + 1)) at $x,$y: $rect (widget $want_rect)"
    else
      fail "click $((i + 1)) at $x,$y: $rect, not the widget's $want_rect"
    fi
    i=$((i + 1))
  done < <(grep -E '^  "[^"]*" (LeftClick|RightClick) ' "$1" | awk '{print $3}')
  check "every click has its rectangle (${i} of ${#CLICKS[@]})" test "$i" = "${#CLICKS[@]}"
}

# Packs and lints the storyboard as written, then plays the same clicks and keys
# on the headless player (its window sits at 40,40) and compares the frames shown.
pack_lint_replay() {  # DEMOTOOL STORYBOARD WORK
  local tool=$1 sb=$2 work=$3 shown want
  "$tool" pack "$sb" -o "$work/demo" >"$work/pack.out" 2>&1
  check "pack takes the storyboard as it is" test $? = 0
  "$tool" lint "$work/demo" >"$work/lint.out" 2>&1
  check "lint is clean: $(tr '\n' ' ' <"$work/lint.out")" grep -q ': 0 errors, 0 warnings$' "$work/lint.out"
  {
    grep -E '^  ' "$sb" | while read -r _ command arg _; do
      case $command in
        Timer) echo "wait $((arg + 100))" ;;
        KeyDown) [ "$arg" != 0 ] && echo "key $arg" ;;
        LeftClick | RightClick)
          IFS=, read -r a b c d <<<"$arg"
          verb=click
          [ "$command" = RightClick ] && verb=rclick
          echo "move $((40 + (a + c) / 2)) $((40 + (b + d) / 2))"
          echo "$verb $((40 + (a + c) / 2)) $((40 + (b + d) / 2))"
          ;;
      esac
    done
    echo "key 27"
  } >"$work/replay.txt"
  (cd "$work/demo" && "$tool" run --script "$work/replay.txt") >"$work/play.out" 2>&1
  shown=$(grep -o 'Frame [0-9]*: [^ ]*' "$work/play.out" | awk '{print $3}' | uniq | tr '\n' ' ')
  want=$(grep '^~' "$sb" | cut -c2- | tr '\n' ' ')
  check "the headless player walks the recorded frames in order" test "$shown" = "$want"
  [ "$shown" = "$want" ] || { echo "  shown: $shown"; echo "  want:  $want"; }
  echo "frames $(grep -c '^~' "$sb"), screens $(ls "$work/rec/screens" | wc -l) ($(du -sb "$work/rec/screens" | cut -f1) bytes), demo $(du -sb "$work/demo" | cut -f1) bytes"
}

# Presses Pause and waits for the recorder ($REC_PID), which must end with
# status 0 and leave WORK/rec/storyboard.txt and its screens.
stop_recorder() {  # WORK
  xdotool key Pause
  for _ in $(seq 100); do kill -0 "$REC_PID" 2>/dev/null || break; sleep 0.1; done
  wait "$REC_PID"
  check "the recorder ends with status 0 on Pause" test $? = 0
  REC_PID=
  cat "$1/record.out" "$1/record.err"
  check "a storyboard and its screens" test -s "$1/rec/storyboard.txt" -a -d "$1/rec/screens"
}

# The storyboard's actions in order, pointer steps left out, keys with their code.
action_kinds() {  # STORYBOARD
  grep -E '^  ' "$1" | grep -v ' Timer ' | awk '{print $2 ($2 == "KeyDown" ? " " $3 : "")}' | tr '\n' ' '
}
