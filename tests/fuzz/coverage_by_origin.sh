#!/usr/bin/env bash
# The edges a fuzz target's corpus covers, by where the code comes from: our
# own code, FreeImage and Exiv2 (only when built instrumented, see
# scripts/build-instrumented-deps.sh), the harness, and inlined system
# headers. Replays the corpus once with libFuzzer's -print_coverage=1.
#   coverage_by_origin.sh FUZZ_BINARY CORPUS_FOLDER
set -euo pipefail
"$1" -runs=0 -print_coverage=1 -rss_limit_mb=4096 -timeout=25 "$2" 2>&1 | awk '
  /^(UN)?COVERED_FUNC:/ {
    split($5, edges, "/")
    path = $NF
    if (path ~ /\/freeimage[^\/]*\//) origin = "FreeImage"
    else if (path ~ /\/exiv2[^\/]*\//) origin = "Exiv2"
    else if (path ~ /\/tests\/fuzz\//) origin = "harness"
    else if (path ~ /^\/usr\//) origin = "system headers"
    else origin = "Pictomarker"
    covered[origin] += edges[1]
    total[origin] += edges[2]
  }
  END {
    for (origin in total)
      printf "%-15s %6d of %6d edges\n", origin, covered[origin], total[origin]
  }' | sort
