#!/usr/bin/env bash
# Prints a fingerprint of everything aiimport makes of a set of files: for every file, reading
# choice and import option set, the SHA-256 of the DOT file `--batch` writes, of its summary
# line (the time taken left out) and of `--list`'s output. Two builds that read and convert
# alike print the same lines, so a change that must not alter any result is checked with
#   scripts/dot-fingerprints.sh OLD/aiimport > old.txt
#   scripts/dot-fingerprints.sh NEW/aiimport > new.txt && diff old.txt new.txt
# The files: the samples, the shared corpus when present, synthetic files of several shapes and
# sizes (made with the build's make_synthetic_eps, found beside the program's build folder or
# named by AIIMPORT_MAKE_SYNTHETIC), and PDF files Ghostscript makes of the samples.
#   scripts/dot-fingerprints.sh PROGRAM [WORK_FOLDER]
set -euo pipefail
AIIMPORT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=$(realpath "$1")
work=${2:-$(mktemp -d)}
mkdir -p "$work/files"
make_synthetic=${AIIMPORT_MAKE_SYNTHETIC:-$(dirname "$program")/../../bench/make_synthetic_eps}
corpus="${AIIMPORT_CORPUS_DIR:-$AIIMPORT_ROOT/../shared/corpus}"

files=("$AIIMPORT_ROOT"/samples/*)
[ -d "$corpus" ] && files+=("$corpus"/*.ai "$corpus"/*.eps)
if [ -x "$make_synthetic" ]; then
  for shape in "0.3 1" "0.3 2 --long" "2 3" "2 4 --long" "24 5" "24 6 --long"; do
    set -- $shape
    out="$work/files/synthetic-$1-$2${3:-}.eps"
    [ -s "$out" ] || "$make_synthetic" "$1" "$out" "$2" ${3:-} >/dev/null
    files+=("$out")
  done
fi
if command -v gs >/dev/null; then
  for eps in "$AIIMPORT_ROOT"/samples/*.eps; do
    out="$work/files/$(basename "${eps%.eps}").pdf"
    [ -s "$out" ] || gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop \
      -sOutputFile="$out" "$eps" >/dev/null 2>&1 || rm -f "$out"
    [ -s "$out" ] && files+=("$out")
  done
fi

digest() { sha256sum | cut -c1-16; }

for file in "${files[@]}"; do
  name=$(basename "$file")
  for reader in auto lines page; do
    for options in "" "--reduce" "--autofix" "--reduce --autofix" "--no-flip --parse-everything"; do
      dot="$work/out.dot"
      rm -f "$dot"
      # shellcheck disable=SC2086
      summary=$("$program" --batch "$file" --reader "$reader" $options --output "$dot" 2>&1 |
        sed -E 's/[0-9]+\.[0-9]+ seconds/T seconds/; s#: [^ ]*out\.dot#: OUT#') && code=0 || code=$?
      dotsum=-
      [ -f "$dot" ] && dotsum=$(digest <"$dot")
      echo "$name reader=$reader options=[$options] exit=$code dot=$dotsum summary=$(printf '%s' "$summary" | digest)"
    done
    list=$("$program" --list "$file" --reader "$reader" 2>&1) && code=0 || code=$?
    one=$(AIIMPORT_THREADS=1 "$program" --list "$file" --reader "$reader" 2>&1) || true
    echo "$name reader=$reader list-exit=$code list=$(printf '%s' "$list" | digest)" \
      "list-one-thread=$(printf '%s' "$one" | digest)"
  done
done
