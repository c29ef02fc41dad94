#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the fuzz preset, build-fuzz/) and runs them.
#   scripts/fuzz.sh [TARGET] [SECONDS]   one target (default fuzz_reader) for SECONDS (default 600),
#                                        keeping what it finds in fuzz/corpus-TARGET/ (not
#                                        committed)
#   scripts/fuzz.sh --all [SECONDS]      every target for SECONDS (default 60) on the committed
#                                        seeds alone, two at a time; fails when one crashes,
#                                        hangs or leaks (CI runs this through ./test.sh --fuzz)
# The seeds are in fuzz/seeds/ (see fuzz/CMakeLists.txt for which target reads which); crashes
# are written to build-fuzz/artifacts/.
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$AIIMPORT_ROOT/scripts/common.sh"

ensure_packages "${AIIMPORT_PACKAGES[@]}" clang libclang-rt-dev
dir="$AIIMPORT_ROOT/build-fuzz"
build_preset fuzz >/dev/null
mkdir -p "$dir/artifacts"

# The seed folders of a target.
seeds_of() {
  case "$1" in
    fuzz_reader | fuzz_import) echo "lines" ;;
    fuzz_eps) echo "eps lines" ;;
    fuzz_pdf) echo "pdf" ;;
    fuzz_pdfpage) echo "pdfpage" ;;
    *) echo "No fuzz target $1" >&2; return 2 ;;
  esac
}

# run TARGET SECONDS WORK_FOLDER: the target over WORK_FOLDER (where it keeps new inputs) and
# its seeds.
run() {
  local target=$1 seconds=$2 work=$3 folders=() seed
  for seed in $(seeds_of "$target"); do folders+=("$AIIMPORT_ROOT/fuzz/seeds/$seed"); done
  mkdir -p "$work"
  "$dir/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target-" \
    "$work" "${folders[@]}"
}

if [ "${1:-}" = "--all" ]; then
  seconds=${2:-60}
  targets=(fuzz_reader fuzz_import fuzz_eps fuzz_pdf fuzz_pdfpage)
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  failed=0
  # Two at a time: the machines this runs on have two cores.
  for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for target in "${targets[@]:i:2}"; do
      run "$target" "$seconds" "$scratch/$target" >"$scratch/$target.log" 2>&1 &
      pids+=("$!:$target")
    done
    for entry in "${pids[@]}"; do
      target=${entry#*:}
      if wait "${entry%%:*}"; then
        echo "$target: $(grep -E '^stat::number_of_executed_units' "$scratch/$target.log" |
          awk '{print $2}') runs in ${seconds} s, no crash"
      else
        failed=1
        echo "$target FAILED; the end of its log:" >&2
        tail -n 40 "$scratch/$target.log" >&2
      fi
    done
  done
  exit $failed
fi

target=${1:-fuzz_reader}
seconds=${2:-600}
seeds_of "$target" >/dev/null
run "$target" "$seconds" "$AIIMPORT_ROOT/fuzz/corpus-$target"
