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
# Every frame keeps its picture and moves on after "Timer 31"; the last leads back to the first.
python3 - "$WORK/demo/demoFlow.txt" <<'PY'
import sys
path = sys.argv[1]
lines = open(path, 'rb').read().split(b'\r\n')
out, frame, first = [], None, None
for line in lines:
    if line.startswith(b'~'):
        frame = line
        first = first or line[1:]
        out.append(line)
    elif frame is None or line.startswith((b'$', b'!')):
        out.append(line)
        if line.startswith(b'$'):
            out.append(b'  ">" Timer 31')
last = max(i for i, l in enumerate(out) if l == b'  ">" Timer 31')
out[last] = b'  "' + first + b'" Timer 31'
# The last line of a flow text is never read: end with an empty one.
open(path, 'wb').write(b'\r\n'.join(out) + b'\r\n\r\n')
PY

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
