#!/usr/bin/env bash
# The web player's speed and size goals, measured in headless Chromium against baselines of the same run.
#
# usage: bench/web_bench.sh [BUILD_DIR]   (needs scripts/build-web.sh BUILD_DIR first; takes about two minutes)
# Prints: what the browser downloads (player gzip-compressed, content against
# the PNG screenshots), first frames, frame changes against a plain
# putImageData, and a "Timer 31" chain's pace in the browser and on X11.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
TOOL="$BUILD/demotool"
WORK="$(mktemp -d)"
SERVER=
cleanup() {
  [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
[ -f "$BUILD/web/demoplayer.wasm" ] || { echo "web_bench: no web player in $BUILD/web: run scripts/build-web.sh" >&2; exit 1; }
(cd "$ROOT/tests/e2e/web" && { [ -d node_modules ] || npm ci --no-audit --no-fund >/dev/null; })

"$BUILD/demo_gen" "$WORK/gen" >/dev/null
"$BUILD/demo_gen" "$WORK/chain" --frames 1000 --width 640 --height 480 >/dev/null
"$ROOT/bench/timer_chain.py" "$WORK/chain/demoFlow.txt"
for demo in sample gen chain; do
  src="$WORK/$demo"; [ "$demo" = sample ] && src="$BUILD/sample"
  "$TOOL" web "$src" -o "$WORK/site/$demo" >/dev/null
done

gz() { local n=0; for f in "$@"; do n=$((n + $(gzip -9c "$f" | wc -c))); done; echo "$n"; }
player=$(cd "$WORK/site/sample" && gz index.html page.js page.css demoplayer.js demoplayer.wasm fonts/*.woff2)
echo "player as a server sends it (gzip -9): $player bytes (goal 409600)"
"$TOOL" unpack "$WORK/gen" -o "$WORK/gen-png" >/dev/null
pngs() { find "$@" -name '*.png' -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
for row in "sample $(pngs "$ROOT/samples/screens")" "gen $(pngs "$WORK/gen-png")"; do
  set -- $row
  content=$(stat -c %s "$WORK/site/$1/demo.dat")
  awk -v n="$1" -v c="$content" -v p="$2" 'BEGIN {printf "content, %s: %d bytes against %d of PNGs: %.3f (goal 0.200)\n", n, c, p, c / p}'
done

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# Served cross-origin isolated, so that the pages' clocks tick in microseconds
# rather than tenths of a millisecond; the player needs no such headers.
python3 - "$WORK/site" "$port" >/dev/null 2>&1 <<'PY' &
import functools, http.server, sys
class Isolated(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()
handler = functools.partial(Isolated, directory=sys.argv[1])
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[2])), handler).serve_forever()
PY
SERVER=$!
sleep 1
first=$(awk '/^~/ {print substr($0, 2); exit}' "$WORK/gen/demoFlow.txt" | tr -d '\r')
sample_first=$(awk '/^~/ {print substr($0, 2); exit}' "$BUILD/sample/demoFlow.txt" | tr -d '\r')
node "$ROOT/bench/web_bench.mjs" "http://127.0.0.1:$port/sample/#frame=$sample_first" \
  "http://127.0.0.1:$port/gen/#frame=$first" "http://127.0.0.1:$port/chain/#frame=$first"
echo "native, for the chain: $("$ROOT/bench/timer_pace.sh" "$BUILD" 10)"
