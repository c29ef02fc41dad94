#!/usr/bin/env bash
# Builds the Debian package of aiimport from a Release build in build-release/ and prints the
# package's path. Installs the missing Debian packages first.
#   scripts/package.sh
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"

ensure_packages "${AIIMPORT_PACKAGES[@]}"
dir="$AIIMPORT_ROOT/build-release"
build_tree "$dir" -DCMAKE_BUILD_TYPE=Release -DAIIMPORT_TESTS=OFF -DAIIMPORT_BENCH=OFF >/dev/null
rm -f "$dir"/aiimport_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/aiimport_*.deb
