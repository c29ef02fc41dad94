#!/usr/bin/env bash
# Builds aiimport and runs it on a file, by default the bundled sample samples/shapes.eps.
# Installs the missing Debian packages first.
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"

ensure_packages "${AIIMPORT_PACKAGES[@]}"
build_tree "$AIIMPORT_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

file=${1:-$AIIMPORT_ROOT/samples/shapes.eps}
echo "Paths read from $file:"
exec "$AIIMPORT_ROOT/build/src/shell/aiimport" --list "$file"
