#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a given time, printing executions and findings.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
usage() {
  cat <<'USAGE'
usage: scripts/fuzz.sh [--time SECONDS] [--runs N] [--jobs J] [TARGET...]
  Runs every target (or the named ones: actions, flow_reader, frame_index,
  frame_lines, notes, package, player, png, settings, splash, stack,
  storyboard) for SECONDS each (default 60), stopping a target early after N
  executions (default: no limit), J targets at a time (default 1).
  Corpora grow in build-fuzz/corpus/TARGET (seeded from fuzz/corpus/TARGET);
  findings land in build-fuzz/findings/TARGET. Minimise a finding with
  build-fuzz/fuzz/fuzz_TARGET -minimize_crash=1 -runs=100000 FILE and keep it
  under tests/hostile/fuzz/TARGET/, which the test command replays.
USAGE
}

TIME=60 RUNS=-1 JOBS=1 TARGETS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) TIME="$2"; shift 2 ;;
    --runs) RUNS="$2"; shift 2 ;;
    --jobs) JOBS="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) TARGETS+=("$1"); shift ;;
  esac
done
if [ ${#TARGETS[@]} -eq 0 ]; then
  for f in "$ROOT"/fuzz/*_fuzz.cpp; do
    n="$(basename "$f" _fuzz.cpp)"
    TARGETS+=("$n")
  done
fi

for p in clang-14 libclang-rt-14-dev; do
  dpkg -s "$p" >/dev/null 2>&1 || { echo "fuzz: installing clang"; apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y clang-14 libclang-rt-14-dev; break; }
done
OUT="$ROOT/build-fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$OUT" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEMO_FUZZ=ON \
  -DDEMO_TESTS=OFF -DDEMO_BENCH=OFF -DDEMO_X11=OFF >/dev/null
cmake --build "$OUT" -j "$(nproc)" --target $(printf 'fuzz_%s ' "${TARGETS[@]}") >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_one() {
  local t="$1" log="$OUT/logs/$1.log"
  mkdir -p "$OUT/corpus/$t" "$OUT/findings/$t" "$OUT/logs"
  # A target stops at its first finding; the others go on.
  "$OUT/fuzz/fuzz_$t" "$OUT/corpus/$t" "$ROOT/fuzz/corpus/$t" -dict="$ROOT/fuzz/demo.dict" \
    -max_total_time="$TIME" -runs="$RUNS" -timeout=30 -rss_limit_mb=4096 \
    -artifact_prefix="$OUT/findings/$t/" -print_final_stats=1 >"$log" 2>&1 || true
  local execs findings
  execs="$(grep -h 'stat::number_of_executed_units' "$log" | awk '{s += $2} END {print s + 0}')"
  findings="$(find "$OUT/findings/$t" -type f | wc -l)"
  printf '%-12s %12s executions %4s findings\n' "$t" "$execs" "$findings"
}

echo "target        executions       findings (each up to ${TIME}s)"
running=0
for t in "${TARGETS[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait
