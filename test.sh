#!/usr/bin/env bash
# Builds aiimport and runs every test. Installs the missing Debian packages first.
#   ./test.sh             the everyday build (build/) and all tests: offscreen, then the window
#                         tests that need a desktop under Xvfb with openbox
#                         (scripts/desktop-tests.sh)
#   ./test.sh --sanitize  every library and test under AddressSanitizer and
#                         UndefinedBehaviorSanitizer (build-asan/), halting on the first report
#   ./test.sh --release   the Release build with warnings as errors (build-release/)
#   ./test.sh --portable  the core alone on the standard library's stand-ins for the system
#                         (build-portable/): it fails on any system call outside src/platform
#   ./test.sh --format    checks that every source file is formatted with .clang-format
#   ./test.sh --fuzz      builds the libFuzzer targets (build-fuzz/) and runs each for 60 seconds
#                         on the committed seeds (scripts/fuzz.sh --all); a crash, a hang or a
#                         leak fails
# AIIMPORT_WERROR=1 turns compiler warnings into errors (CI does).
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"

ensure_packages "${AIIMPORT_PACKAGES[@]}"

werror=OFF
[ "${AIIMPORT_WERROR:-0}" = 1 ] && werror=ON
jobs=$(nproc 2>/dev/null || echo 2)
cd "$AIIMPORT_ROOT"

case "${1:-}" in
  --sanitize)
    build_preset asan -DAIIMPORT_WERROR=$werror
    ctest --preset asan -j "$jobs"
    ;;
  --release)
    build_preset release
    ;;
  --portable)
    build_preset portable -DAIIMPORT_WERROR=$werror
    ;;
  --format)
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
    echo "Every source file is formatted."
    ;;
  --fuzz)
    "$AIIMPORT_ROOT/scripts/fuzz.sh" --all 60
    ;;
  "")
    build_preset default -DAIIMPORT_WERROR=$werror
    ctest --preset default -j "$jobs"
    "$AIIMPORT_ROOT/scripts/desktop-tests.sh" "$AIIMPORT_ROOT/build"
    ;;
  *)
    echo "usage: ./test.sh [--sanitize | --release | --portable | --format | --fuzz]" >&2
    exit 2
    ;;
esac
