#!/usr/bin/env bash
# How fast a loop of 1,000 "Timer 31" frames plays on the X11 player under Xvfb, in frames a second.
#
# usage: bench/timer_pace.sh [BUILD_DIR] [SECONDS]   (PLAYER_PROGRAM=PATH plays another player)
# Such chains replay recorded movements; each frame should stay for one screen
# refresh, so the figure should not pass the display's rate (60 Hz on Xvfb).
set -euo pipefail
BUILD=$(readlink -f "${1:-build}")
SECONDS_TO_PLAY=${2:-10}
WORK=$(mktemp -d)
XVFB_PID=
cleanup() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

"$BUILD/demo_gen" "$WORK/demo" --frames 1000 --width "${WIDTH:-640}" --height "${HEIGHT:-480}" >/dev/null
"$(dirname "${BASH_SOURCE[0]}")/timer_chain.py" "$WORK/demo/demoFlow.txt"

. "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

cd "$WORK/demo"
"${PLAYER_PROGRAM:-$BUILD/demoplayer}" 000001 >"$WORK/out.txt" 2>&1 &
PLAYER=$!
sleep 1
before=$(grep -o 'Frame [0-9]*:' "$WORK/out.txt" | wc -l)
start=$(date +%s%N)
sleep "$SECONDS_TO_PLAY"
after=$(grep -o 'Frame [0-9]*:' "$WORK/out.txt" | wc -l)
end=$(date +%s%N)
kill "$PLAYER"
wait "$PLAYER" 2>/dev/null || true
echo "timer chain: $((after - before)) frames in $(((end - start) / 1000000)) ms:" \
  "$(awk -v f=$((after - before)) -v t=$((end - start)) 'BEGIN { printf "%.1f", f * 1e9 / t }') frames a second"
