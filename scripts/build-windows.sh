#!/usr/bin/env bash
# Cross-builds the Windows player and its tests into build-win32/ (host tools from build/ serve the end-to-end suite).
#
# usage: scripts/build-windows.sh [--test] [HOST_BUILD_DIR]
#   --test          also run the Windows suites (unit tests and end-to-end under Wine)
#   HOST_BUILD_DIR  Linux build tree with demotool and the packed sample (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
if [ "${1:-}" = "--test" ]; then run_tests=1; shift; fi
host=$(realpath -m "${1:-build}")

# The end-to-end suite bundles and renders with the host demotool.
if [ ! -x "$host/demotool" ] || [ ! -f "$host/sample/demoFlow.txt" ]; then
  cmake -S . -B "$host" >/dev/null
  cmake --build "$host" -j"$(nproc)" --target demotool sample_demo
fi

# Debian packages no zstd for mingw-w64: built once from Debian's source into a cache.
scripts/zstd.sh mingw
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DDEMO_HOST_BUILD="$host" -DDEMO_ZSTD_ROOT="$(scripts/zstd.sh --prefix mingw)"
cmake --build build-win32 -j"$(nproc)"

# Nothing but the DLLs that every Windows has.
x86_64-w64-mingw32-objdump -p build-win32/demoplayer.exe | grep 'DLL Name' | while read -r _ _ dll; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll) ;;
    *) echo "demoplayer.exe needs $dll" >&2; exit 1 ;;
  esac
done
echo "build-win32/demoplayer.exe is ready"

if [ "$run_tests" = 1 ]; then
  ctest --test-dir build-win32 --output-on-failure
fi
