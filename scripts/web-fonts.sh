#!/usr/bin/env bash
# Makes the web player's fonts: Debian's DejaVu Sans and Liberation Sans, cut to
# the characters of Windows-1252 (the code page demo text is written in), as woff2.
#
# usage: scripts/web-fonts.sh OUTDIR
#
# Writes OUTDIR/DejaVuSans.woff2, DejaVuSans-Bold.woff2, LiberationSans-Regular.woff2
# and LiberationSans-Bold.woff2; does nothing when they are newer than this script
# and their sources. Needs fonts-dejavu-core, fonts-liberation2, python3-fonttools
# and python3-brotli (./dev installs them).
set -euo pipefail

usage() { sed -n '5p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
die() { printf 'web-fonts: %s\n' "$*" >&2; exit 1; }

[ $# -eq 1 ] || usage
out="$1"

# Debian's interpreter, which the packages install fontTools and brotli for
# (a python3 of pyenv or a venv earlier on PATH would lack them).
py=/usr/bin/python3
"$py" -c 'import fontTools.subset, brotli' 2>/dev/null ||
  die "needs python3-fonttools and python3-brotli for $py (apt-get install python3-fonttools python3-brotli)"

sources=(
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
  /usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
)

# Printable ASCII, Latin-1 and the 27 characters Windows-1252 puts at 0x80-0x9F.
unicodes="U+0020-007E,U+00A0-00FF"
unicodes+=",U+20AC,U+201A,U+0192,U+201E,U+2026,U+2020,U+2021,U+02C6,U+2030,U+0160,U+2039,U+0152,U+017D"
unicodes+=",U+2018,U+2019,U+201C,U+201D,U+2022,U+2013,U+2014,U+02DC,U+2122,U+0161,U+203A,U+0153,U+017E,U+0178"

mkdir -p "$out"
for src in "${sources[@]}"; do
  [ -f "$src" ] || die "no $src (apt-get install fonts-dejavu-core fonts-liberation2)"
  dst="$out/$(basename "$src" .ttf).woff2"
  if [ -f "$dst" ] && [ "$dst" -nt "$0" ] && [ "$dst" -nt "$src" ]; then
    continue
  fi
  tmp="$dst.tmp.$$"
  trap 'rm -f "$tmp"' EXIT
  # The player draws glyph by glyph from the advance widths, as Windows' text
  # output does: no layout feature is used (kerning would only move text away
  # from the native players'). Hinting stays: FreeType's hinted outlines are
  # what the native players draw.
  "$py" -m fontTools.subset "$src" --output-file="$tmp" --flavor=woff2 --unicodes="$unicodes" \
    --layout-features='' --drop-tables+=GSUB,GPOS,GDEF,MATH,kern,FFTM
  # The player sizes a font by its Windows ascent and descent: they must come through as they were.
  "$py" - "$src" "$tmp" <<'EOF' || die "$(basename "$dst"): the subset changed the font's metrics"
import sys
from fontTools.ttLib import TTFont
a, b = TTFont(sys.argv[1]), TTFont(sys.argv[2])
keep = lambda t: (t["OS/2"].usWinAscent, t["OS/2"].usWinDescent, t["head"].unitsPerEm)
widths = lambda t: {c: t["hmtx"][g][0] for c, g in t.getBestCmap().items()}
wa, wb = widths(a), widths(b)
sys.exit(keep(a) != keep(b) or any(wa[c] != w for c, w in wb.items()))
EOF
  mv -f "$tmp" "$dst"
  trap - EXIT
done

total=0
for src in "${sources[@]}"; do
  dst="$out/$(basename "$src" .ttf).woff2"
  size=$(stat -c %s "$dst")
  total=$((total + size))
  printf '%8d  %s\n' "$size" "$dst"
done
printf '%8d  in all\n' "$total"
