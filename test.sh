#!/usr/bin/env bash
# Builds aiimport and runs every test. Installs the missing Debian packages first.
#   ./test.sh             the normal build (build/) and all tests: offscreen, then the desktop
#                         tests under Xvfb with openbox (scripts/desktop-tests.sh)
#   ./test.sh --sanitize  the core libraries and their tests under AddressSanitizer and
#                         UndefinedBehaviorSanitizer (build-sanitize/), halting on the first report
# AIIMPORT_WERROR=1 turns compiler warnings into errors (CI does).
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"

ensure_packages "${AIIMPORT_PACKAGES[@]}"

werror=OFF
[ "${AIIMPORT_WERROR:-0}" = 1 ] && werror=ON
export QT_QPA_PLATFORM=offscreen

if [ "${1:-}" = "--sanitize" ]; then
  dir="$AIIMPORT_ROOT/build-sanitize"
  build_tree "$dir" -DCMAKE_BUILD_TYPE=Debug -DAIIMPORT_GUI=OFF -DAIIMPORT_BENCH=OFF \
    -DAIIMPORT_SANITIZE=ON -DAIIMPORT_WERROR=$werror -DCMAKE_CXX_FLAGS=-O1
  export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
else
  dir="$AIIMPORT_ROOT/build"
  build_tree "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAIIMPORT_WERROR=$werror
fi
ctest --test-dir "$dir" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" -LE desktop
# The window tests that need a real X server and window manager (focus, grabs, real keys).
if [ "${1:-}" != "--sanitize" ]; then
  "$AIIMPORT_ROOT/scripts/desktop-tests.sh" "$dir"
fi
