#!/usr/bin/env bash
# Builds aiimport and opens the importer on a file, by default the bundled sample
# samples/shapes.eps. Without a display (no X11 or Wayland session) it imports the file in
# batch mode instead and says where the result went. Installs the missing Debian packages first.
#   ./run.sh [FILE]
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"

ensure_packages "${AIIMPORT_PACKAGES[@]}"
build_preset default >/dev/null

file=${1:-$AIIMPORT_ROOT/samples/shapes.eps}
program="$AIIMPORT_ROOT/build/src/shell/aiimport"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the importer on $file"
  exec "$program" -- "$file"
fi

echo "No display found: importing $file in batch mode instead of opening the window."
exec "$program" --batch -- "$file"
