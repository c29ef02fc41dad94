#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs one of them for a bounded time.
#   scripts/fuzz.sh [TARGET] [SECONDS]     default: fuzz_reader for 600 seconds
# Seeds come from samples/ and a few synthetic files; new inputs are kept in fuzz/corpus-TARGET/
# (not committed); crashes are written to the build-fuzz folder.
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"
target=${1:-fuzz_reader}
seconds=${2:-600}

ensure_packages "${AIIMPORT_PACKAGES[@]}" clang libclang-rt-dev
dir="$AIIMPORT_ROOT/build-fuzz"
build_preset fuzz >/dev/null
[ -x "$dir/fuzz/$target" ] || { echo "No fuzz target $target in $dir/fuzz" >&2; exit 2; }

corpus="$AIIMPORT_ROOT/fuzz/corpus-$target"
seeds="$dir/fuzz/seeds"
mkdir -p "$corpus" "$seeds"
cp "$AIIMPORT_ROOT"/samples/* "$seeds"/ 2>/dev/null || true
if [ -x "$AIIMPORT_ROOT/build/bench/make_synthetic_eps" ]; then
  for seed in 1 2 3; do "$AIIMPORT_ROOT/build/bench/make_synthetic_eps" 0.02 "$seeds/synthetic$seed.eps" $seed; done
fi
cd "$dir"
exec "$dir/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=4096 \
  -print_final_stats=1 "$corpus" "$seeds"
