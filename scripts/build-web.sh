#!/usr/bin/env bash
# Builds the web player with Debian's emscripten into build-web/ and puts it beside the host demotool (HOST/web/).
#
# usage: scripts/build-web.sh [--test] [HOST_BUILD_DIR]
#   --test          also run the web suite in headless Chromium (tests/e2e/web)
#   HOST_BUILD_DIR  Linux build tree with demotool and the packed sample (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
if [ "${1:-}" = "--test" ]; then run_tests=1; shift; fi
host=$(realpath -m "${1:-build}")

# Debian's node does not search its own module folder, and emcc needs acorn from it.
export NODE_PATH=/usr/share/nodejs
command -v emcc >/dev/null || { echo "build-web: emcc not found (apt-get install emscripten; ./dev installs it)" >&2; exit 1; }

if [ ! -x "$host/demotool" ] || [ ! -f "$host/sample/demoFlow.txt" ]; then
  cmake -S . -B "$host" >/dev/null
  cmake --build "$host" -j"$(nproc)" --target demotool sample_demo
fi

# Debian packages no zstd for emscripten: built once from Debian's source into a cache.
scripts/zstd.sh wasm
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=OFF -DDEMO_BENCH=OFF \
  -DDEMO_ZSTD_ROOT="$(scripts/zstd.sh --prefix wasm)" >/dev/null
cmake --build build-web -j"$(nproc)"
if [ -x scripts/web-fonts.sh ]; then scripts/web-fonts.sh build-web/web/fonts; fi

# demotool web takes the player from the folder web beside it.
rm -rf "$host/web.new"
cp -r build-web/web "$host/web.new"
rm -rf "$host/web"
mv "$host/web.new" "$host/web"
sizes=$(cd "$host/web" && for f in demoplayer.js demoplayer.wasm; do printf '%s %s bytes (%s gzip -9)  ' "$f" "$(stat -c %s "$f")" "$(gzip -9c "$f" | wc -c)"; done)
echo "web player ready in $host/web: $sizes"

if [ "$run_tests" = 1 ]; then
  tests/e2e/web/run.sh "$host"
fi
