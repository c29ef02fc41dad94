#!/usr/bin/env bash
# Measures how well the PDF page reader reads real drawings: each EPS file is made a PDF by
# Ghostscript, read by the page reader into a DOT file (filled paths, "Auto-Fix Holes"), drawn
# with `aiimport --dot-svg` and rasterised; Ghostscript renders the same PDF with its strokes
# left out. The two rasters (72 dpi, grey) are laid over each other where the reader says the
# drawing lies on the page (then moved by up to 3 pixels for the best fit), and the
# intersection over union of their inked pixels is printed. At 72 dpi a ring of edge pixels
# that the two rasterisers decide differently weighs on small shapes (text); a higher
# resolution (AIIMPORT_COMPARE_DPI=288) shows what is left of the difference.
# Each PDF is also read again under an .ai name, which must give the same DOT file.
#   scripts/compare-with-ghostscript.sh [FILE.eps ...]
#   (default: the EPS files of the shared corpus that Illustrator did not write)
# Needs the build folder build/ (targets aiimport and pdfpage_compare), gs, rsvg-convert and
# ImageMagick; the pictures are left in the folder $AIIMPORT_COMPARE_DIR (default a temp folder).
# The raster resolution is $AIIMPORT_COMPARE_DPI (default 72).
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"
ensure_packages ghostscript librsvg2-bin imagemagick

build="$AIIMPORT_ROOT/build"
cmake --build "$build" --target aiimport pdfpage_compare >/dev/null
tool="$build/bench/pdfpage_compare"
aiimport=$(find "$build" -name aiimport -type f -perm -u+x | head -n 1)
corpus="${AIIMPORT_CORPUS_DIR:-$AIIMPORT_ROOT/../shared/corpus}"
[ -d "$corpus" ] || corpus=/work/shared/corpus
if [ $# -eq 0 ]; then
  set -- "$corpus"/duojs-logo.eps "$corpus"/matplotlib-scatter.eps \
    "$corpus"/python-pillow-reqd_showpage.eps "$corpus"/imagemagick-logo.eps
fi
dpi="${AIIMPORT_COMPARE_DPI:-72}"
out="${AIIMPORT_COMPARE_DIR:-$(mktemp -d)}"
mkdir -p "$out"
echo "pictures in $out, $dpi dpi"
printf '%-32s %7s  %s\n' file IoU "reader's counts"
for eps in "$@"; do
  name=$(basename "${eps%.*}")
  pdf="$out/$name.pdf"
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop -dNoOutputFonts \
    -sOutputFile="$pdf" "$eps"
  # Ghostscript's picture of the filled areas.
  "$tool" fills "$pdf" "$out/$name-fills.pdf"
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r"$dpi" -sOutputFile="$out/$name-gs.png" \
    "$out/$name-fills.pdf"
  # The reader's, placed on a page of the same size.
  read -r left top counts < <("$tool" dot "$pdf" "$out/$name.dot")
  "$aiimport" --dot-svg "$out/$name.dot" "$out/$name.svg" >/dev/null
  rsvg-convert -d "$dpi" -p "$dpi" -b white "$out/$name.svg" -o "$out/$name-dot.png"
  x=$(awk -v v="$left" -v d="$dpi" 'BEGIN { printf "%.0f", v * d / 72 }')
  y=$(awk -v v="$top" -v d="$dpi" 'BEGIN { printf "%.0f", v * d / 72 }')
  convert "$out/$name-dot.png" -colorspace Gray -depth 8 "$out/$name-dot.pgm"
  convert "$out/$name-gs.png" -colorspace Gray -depth 8 "$out/$name-gs.pgm"
  read -r iou moved_x moved_y < <("$tool" iou "$out/$name-gs.pgm" "$out/$name-dot.pgm" "$x" "$y")
  # The same PDF saved as .ai reads the same.
  cp "$pdf" "$out/$name.ai"
  "$tool" dot "$out/$name.ai" "$out/$name-ai.dot" >/dev/null
  same=$(cmp -s "$out/$name.dot" "$out/$name-ai.dot" && echo "same as .ai" || echo "DIFFERS as .ai")
  printf '%-32s %7s  %s; moved %s %s px; %s\n' "$name" "$iou" "$counts" "$moved_x" "$moved_y" "$same"
done
