#!/usr/bin/env bash
# Sizes of the compact form against the screenshots, and the player's resident memory with each form.
# Usage: bench/compact_sizes.sh [BUILD]   (default: build; takes a minute or two)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
TOOL="$BUILD/demotool"
PLAYER="$BUILD/demoplayer"
[ -x "$PLAYER" ] || PLAYER="$TOOL"  # any program will do as the bundle's front
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

stored() { "$TOOL" info --json "$1" | sed -n 's/.*"storedBytes":\([0-9]*\).*/\1/p'; }
total() { find "$@" -name '*.png' -printf '%s\n' | awk '{s += $1} END {print s + 0}'; }
row() { awk -v n="$1" -v png="$2" -v raw="$3" -v c="$4" \
  'BEGIN {printf "%-28s PNGs %11d  raw %11d  compact %9d  compact/PNGs %5.3f (goal <= 0.200)\n", n, png, raw, c, c / png}'; }

# The sample as the storyboard's screenshots hold it.
"$TOOL" pack "$ROOT/samples/storyboard.txt" -o "$WORK/sample" >/dev/null
"$TOOL" bundle "$WORK/sample" --player "$PLAYER" -o "$WORK/sample.bin" >/dev/null
row "sample (33 frames)" "$(total "$ROOT/samples/screens")" \
  "$("$TOOL" info --json "$WORK/sample" | sed -n 's/.*"rawBytes":\([0-9]*\).*/\1/p')" "$(stored "$WORK/sample.bin")"

# The generated demo, against the PNGs unpack writes of it.
"$BUILD/demo_gen" "$WORK/gen" >/dev/null
"$TOOL" unpack "$WORK/gen" -o "$WORK/gen-png" >/dev/null
"$TOOL" bundle "$WORK/gen" --player "$PLAYER" -o "$WORK/gen.bin" >/dev/null
"$TOOL" bundle "$WORK/gen" --player "$PLAYER" -o "$WORK/gen-raw.bin" --raw >/dev/null
row "generated (983 frames)" "$(total "$WORK/gen-png")" \
  "$("$TOOL" info --json "$WORK/gen" | sed -n 's/.*"rawBytes":\([0-9]*\).*/\1/p')" "$(stored "$WORK/gen.bin")"

# Start-up as a presenter meets it: a fresh process to the first frame and out (median of 9, forms alternating).
echo end > "$WORK/end.txt"
for i in $(seq 9); do
  for form in raw compact; do
    bundle="$WORK/gen.bin"; [ "$form" = raw ] && bundle="$WORK/gen-raw.bin"
    s=$(date +%s%N); "$TOOL" run --program "$bundle" --script "$WORK/end.txt" >/dev/null 2>&1 || true
    echo $(( $(date +%s%N) - s )) >> "$WORK/start-$form"
  done
done
median() { sort -n "$1" | sed -n 5p; }
awk -v r="$(median "$WORK/start-raw")" -v c="$(median "$WORK/start-compact")" 'BEGIN {
  printf "start-up, fresh process      raw %.1f ms  compact %.1f ms  ratio %.2f (goal <= 1.2)\n", r / 1e6, c / 1e6, c / r }'

# Resident memory: every frame of the generated demo in turn (Right Arrow), each form.
{ echo "key 32"; for _ in $(seq 983); do echo "key 39"; done; echo "key 27"; } > "$WORK/walk.txt"
for form in raw compact; do
  bundle="$WORK/gen.bin"; [ "$form" = raw ] && bundle="$WORK/gen-raw.bin"
  /usr/bin/time -f "%M" -o "$WORK/rss-$form" "$TOOL" run --program "$bundle" --script "$WORK/walk.txt" >/dev/null 2>&1 || true
done
awk -v r="$(cat "$WORK/rss-raw")" -v c="$(cat "$WORK/rss-compact")" 'BEGIN {
  printf "resident memory, 983 frames  raw %d KB  compact %d KB  difference %+d KB (block cache bound 32768 KB)\n", r, c, c - r }'
