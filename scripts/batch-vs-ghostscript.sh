#!/usr/bin/env bash
# Times `aiimport --batch` side by side with Ghostscript merely interpreting the same file
# (`gs -dNOPAUSE -dBATCH -sDEVICE=nullpage`), in alternating runs, and prints the medians, the
# ratio and the peak resident memory. Without files it writes the two synthetic 100 MiB files
# (many objects; long paths in deep groups) into the temp folder first.
#
#   scripts/batch-vs-ghostscript.sh [-n RUNS] [-b BUILD] [FILE ...]
#
# AIIMPORT_THREADS is passed on (1: the import on one thread).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=7
build=build
while getopts "n:b:" option; do
  case $option in
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    *) echo "usage: $0 [-n RUNS] [-b BUILD] [FILE ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

aiimport=$build/src/shell/aiimport
[ -x "$aiimport" ] || aiimport=$build/src/cli/aiimport
for tool in "$aiimport" /usr/bin/time gs; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (build first; apt-get install time ghostscript)" >&2; exit 1; }
done

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  tmp=${TMPDIR:-/tmp}
  for shape in objects long; do
    file=$tmp/aiimport-vs-gs-100mb-$shape.eps
    if [ ! -s "$file" ]; then
      extra=()
      [ $shape = long ] && extra=(--long)
      "$build/bench/make_synthetic_eps" 100 "$file" 1 "${extra[@]}"
    fi
    files+=("$file")
  done
fi

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# One run: wall seconds and peak resident KiB, from GNU time.
timed() { /usr/bin/time -f "%e %M" -o "$out/time" "$@" >/dev/null 2>&1; cat "$out/time"; }

printf '%-44s %10s %10s %7s %12s %10s\n' file "import s" "gs s" ratio "import MiB" "× file"
for file in "${files[@]}"; do
  : >"$out/a"
  : >"$out/b"
  timed "$aiimport" --batch "$file" --output "$out/x.dot" >/dev/null  # warm the cache
  for ((i = 0; i < runs; i++)); do
    timed "$aiimport" --batch "$file" --output "$out/x.dot" >>"$out/a"
    timed gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage "$file" >>"$out/b"
  done
  a=$(cut -d' ' -f1 "$out/a" | median)
  b=$(cut -d' ' -f1 "$out/b" | median)
  rss=$(cut -d' ' -f2 "$out/a" | median)
  size=$(stat -c %s "$file")
  awk -v f="$(basename "$file")" -v a="$a" -v b="$b" -v rss="$rss" -v size="$size" 'BEGIN {
    printf "%-44s %10.3f %10.3f %7.2f %12.1f %10.2f\n", f, a, b, a / b, rss / 1024, rss * 1024 / size }'
done
