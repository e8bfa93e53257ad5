#!/usr/bin/env bash
# Soak: the X11 player on the generated 983-frame demo under a stream of input; memory, threads and files over time.
#
# usage: bench/soak.sh [BUILD_DIR] [SECONDS]     (default 600)
# About 19 input events a second (moves, clicks, right clicks, arrows, Home,
# F1, F4) go to the window; every second the player's resident memory, threads
# and open files are sampled. Prints them at the start, at their peak and at the
# end, then how Escape ended the player.
set -euo pipefail
BUILD=$(readlink -f "${1:-build}")
DURATION=${2:-600}
WORK=$(mktemp -d)
XVFB_PID=
cleanup() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

"$BUILD/demo_gen" "$WORK/demo" >/dev/null
. "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

cd "$WORK/demo"
"$BUILD/demoplayer" 000000 >"$WORK/out.txt" 2>&1 &
PLAYER=$!
for _ in $(seq 100); do xdotool search --onlyvisible --class RXDemo >/dev/null 2>&1 && break; sleep 0.1; done
WIN=$(xdotool search --onlyvisible --class RXDemo | head -1)
sample() {
  local rss threads fds
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$PLAYER/status")
  threads=$(awk '/^Threads/ {print $2}' "/proc/$PLAYER/status")
  fds=$(ls "/proc/$PLAYER/fd" | wc -l)
  echo "$rss $threads $fds"
}
sample >"$WORK/samples.txt"
RANDOM=42
events=0
start=$(date +%s)
# One xdotool a second plays that second's events, paced by its own sleeps.
while [ "$(date +%s)" -lt $((start + DURATION)) ]; do
  kill -0 "$PLAYER" 2>/dev/null || { echo "the player ended during the soak"; tail -5 "$WORK/out.txt"; exit 1; }
  # The window moves with the frames' sizes: aim inside it, below the title band.
  read -r wx wy < <(xdotool getwindowgeometry "$WIN" | awk '/Position/ {split($2, p, ","); print p[1], p[2]}')
  args=()
  for _ in $(seq 19); do
    x=$((wx + 20 + RANDOM % 900))
    y=$((wy + 40 + RANDOM % 640))
    case $((RANDOM % 10)) in
      0 | 1 | 2 | 3 | 9) args+=(mousemove "$x" "$y") ;;
      4 | 5) args+=(mousemove "$x" "$y" click 1) ;;
      6) args+=(mousemove "$x" "$y" click 3) ;;
      7) args+=(key Right) ;;
      8) args+=(key "$(echo Left Home F1 F4 | cut -d' ' -f$((RANDOM % 4 + 1)))") ;;
    esac
    args+=(sleep 0.015)
    events=$((events + 1))
  done
  xdotool "${args[@]}"
  sample >>"$WORK/samples.txt"
done
elapsed=$(($(date +%s) - start))
sample >>"$WORK/samples.txt"
awk -v e="$events" -v t="$elapsed" '
  NR == 1 { r0 = $1; t0 = $2; f0 = $3 }
  { if ($1 > rp) rp = $1; if ($2 > tp) tp = $2; if ($3 > fp) fp = $3; r = $1; th = $2; f = $3 }
  END {
    printf "soak: %d s, %d input events (%.1f a second), %d samples\n", t, e, e / t, NR
    printf "  resident memory KB: start %d, peak %d, end %d\n", r0, rp, r
    printf "  threads:            start %d, peak %d, end %d\n", t0, tp, th
    printf "  open files:         start %d, peak %d, end %d\n", f0, fp, f
  }' "$WORK/samples.txt"
echo "  frames shown: $(grep -c 'Frame [0-9]*:' "$WORK/out.txt")"
xdotool key --window "$WIN" Escape 2>/dev/null || xdotool key Escape
t0=$(date +%s%N)
status=0
wait "$PLAYER" || status=$?
echo "  Escape ended the player in $((($(date +%s%N) - t0) / 1000000)) ms with status $status"
