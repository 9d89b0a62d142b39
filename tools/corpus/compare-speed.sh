#!/usr/bin/env bash
# Times `tunewright --analyze` against `aubiopitch -p yinfft` on one file, best of three runs
# each, interleaved so that both see the same load.
#   tools/corpus/compare-speed.sh TUNEWRIGHT FILE
set -euo pipefail
tw=$1
file=$2
best_tw=999999
best_aubio=999999
ms() { local s e; s=$(date +%s%N); "$@" > /dev/null 2>&1; e=$(date +%s%N); echo $(((e - s) / 1000000)); }
for _ in 1 2 3; do
  t=$(ms "$tw" --analyze "$file")
  a=$(ms aubiopitch -p yinfft -i "$file")
  ((t < best_tw)) && best_tw=$t
  ((a < best_aubio)) && best_aubio=$a
done
echo "tunewright --analyze: ${best_tw} ms, aubiopitch -p yinfft: ${best_aubio} ms," \
  "ratio $(awk -v t="$best_tw" -v a="$best_aubio" 'BEGIN { printf "%.3f", t / a }')"
