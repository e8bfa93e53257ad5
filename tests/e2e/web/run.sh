#!/usr/bin/env bash
# End-to-end: the web player in Debian's headless Chromium, driven by playwright-core (web.mjs), on sites
# served from a local HTTP server of its own.
#
# usage: run.sh HOST_BUILD_DIR
# Needs HOST/demotool, HOST/sample and the web player in HOST/web (scripts/build-web.sh).
# Screenshots stay in HOST/web-e2e; quiet on success but for the time taken.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../../.." && pwd)
HOST=$(realpath -m "${1:-build}")
TOOL=$HOST/demotool
SHOTS=$HOST/web-e2e
WORK=$(mktemp -d)
SERVER_PID=
started=$(date +%s.%N)

die() { echo "FAIL: $*"; exit 1; }
# shellcheck disable=SC2317 # run by the trap
cleanup() {
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

if [ ! -x "$TOOL" ] || [ ! -f "$HOST/sample/demoFlow.txt" ]; then die "no $TOOL or $HOST/sample (build the host tree first)"; fi
[ -f "$HOST/web/demoplayer.wasm" ] || die "no web player in $HOST/web (run scripts/build-web.sh)"
[ -x /usr/bin/chromium ] || die "no /usr/bin/chromium"
if [ ! -d "$here/node_modules/playwright-core" ]; then
  (cd "$here" && npm ci --silent >/dev/null 2>&1) || die "npm ci in $here"
fi
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

# A site as demotool web writes it: the player, the demo as demo.dat and its fonts.
make_site() {  # SRC SITE
  "$TOOL" web "$1" -o "$2" >"$WORK/web.out" 2>&1 || { cat "$WORK/web.out"; return 1; }
}

ROOT=$WORK/root
mkdir -p "$ROOT"
make_site "$HOST/sample" "$ROOT/site" || die "making the sample's site"
SINGLE=$WORK/single.html
"$TOOL" web "$HOST/sample" -o "$SINGLE" --single-file >"$WORK/single.out" 2>&1 ||
  die "demotool web --single-file: $(cat "$WORK/single.out")"

PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$ROOT" "$PORT" >"$WORK/server.log" 2>&1 &
SERVER_PID=$!
for _ in $(seq 100); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$PORT/site/index.html')" 2>/dev/null && break
  sleep 0.1
done

node "$here/web.mjs" --base "http://127.0.0.1:$PORT/" --root "$ROOT" --tool "$TOOL" --sample "$HOST/sample" \
  --shots "$SHOTS" --corpus "$repo/tests/hostile" --single "$SINGLE"
status=$?
echo "web e2e: $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }') s, screenshots in $SHOTS"
exit $status
