#!/usr/bin/env bash
# Measures how well aiimport reads real drawings against what Ghostscript draws of them. For each
# file: aiimport imports it as `--batch` does (the reading choice AIIMPORT_COMPARE_READER, default
# auto; "Auto-Fix Holes"; y negated so that the picture stands as on a raster), the DOT file is
# drawn with `aiimport --dot-svg` and rasterised; Ghostscript makes a PDF of the file, its strokes
# are left out (the DOT file holds outlines, not stroke widths) and it renders the filled areas.
# The two rasters (grey, AIIMPORT_COMPARE_DPI dots per inch, default 72) are laid over each other
# at the top left corners of their inked areas and moved by up to half an inch for the best fit
# (art imported unclipped reaches further than the clipped picture),
# and the intersection over union of their inked pixels is printed with the status text of the
# import. Only filled figures are compared: strokes reach the DOT file as their outlines only. At 72 dpi a ring of edge pixels that the two rasterisers decide differently weighs on
# small shapes such as letters; 288 dpi shows what is left of the difference.
#   scripts/compare-with-ghostscript.sh [FILE ...]
#   (default: the EPS files of the shared corpus)
# Needs the build folder build/ (targets aiimport and pdfpage_compare), gs, rsvg-convert and
# ImageMagick; the pictures are left in AIIMPORT_COMPARE_DIR (default a temporary folder).
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"
ensure_packages ghostscript librsvg2-bin imagemagick

build="$AIIMPORT_ROOT/build"
cmake --build "$build" --target aiimport pdfpage_compare >/dev/null
tool="$build/bench/pdfpage_compare"
aiimport="$build/src/shell/aiimport"
corpus="${AIIMPORT_CORPUS_DIR:-$AIIMPORT_ROOT/../shared/corpus}"
if [ $# -eq 0 ]; then
  set -- "$corpus"/*.eps
fi
dpi="${AIIMPORT_COMPARE_DPI:-72}"
reader="${AIIMPORT_COMPARE_READER:-auto}"
out="${AIIMPORT_COMPARE_DIR:-$(mktemp -d)}"
mkdir -p "$out"
echo "pictures in $out, $dpi dpi, --reader $reader"
printf '%-34s %6s  %s\n' file IoU "aiimport's status"

# trim PNG: "X Y" of the inked area's top left corner in the picture.
trim() {
  convert "$1" -fuzz 2% -format '%@\n' info: | sed -E 's/^[0-9]+x[0-9]+\+([0-9]+)\+([0-9]+)$/\1 \2/'
}

for file in "$@"; do
  name=$(basename "${file%.*}")
  # Ghostscript's picture of the filled areas.
  if head -c 4 "$file" | grep -q '%PDF'; then
    cp "$file" "$out/$name.pdf"
  else
    if ! gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop -dNoOutputFonts \
      -sOutputFile="$out/$name.pdf" "$file" >/dev/null 2>&1; then
      printf '%-34s %6s  %s\n' "$name" "-" "Ghostscript cannot draw it"
      continue
    fi
  fi
  "$tool" fills "$out/$name.pdf" "$out/$name-fills.pdf"
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r"$dpi" -sOutputFile="$out/$name-gs.png" \
    "$out/$name-fills.pdf"
  # aiimport's.
  status=$("$aiimport" --batch "$file" --reader "$reader" --autofix --no-flip \
    --output "$out/$name.dot" 2>&1 | sed -E 's/^[^:]*: [^ ]*\.dot\.? ?//') || true
  if [ ! -s "$out/$name.dot" ]; then
    printf '%-34s %6s  %s\n' "$name" "-" "$status"
    continue
  fi
  "$aiimport" --dot-svg "$out/$name.dot" "$out/$name-all.svg" >/dev/null
  # Only the filled figures: the others are drawn as thin lines, which Ghostscript's picture of
  # the filled areas leaves out.
  grep -v 'fill="none"' "$out/$name-all.svg" >"$out/$name.svg"
  rsvg-convert -d "$dpi" -p "$dpi" -b white "$out/$name.svg" -o "$out/$name-dot.png"
  convert "$out/$name-dot.png" -colorspace Gray -depth 8 "$out/$name-dot.pgm"
  convert "$out/$name-gs.png" -colorspace Gray -depth 8 "$out/$name-gs.pgm"
  read -r gx gy < <(trim "$out/$name-gs.png")
  read -r dx dy < <(trim "$out/$name-dot.png")
  read -r iou moved_x moved_y < <("$tool" iou "$out/$name-gs.pgm" "$out/$name-dot.pgm" \
    $((gx - dx)) $((gy - dy)) $((dpi / 2)))
  printf '%-34s %6s  %s\n' "$name" "$iou" "$status"
done
