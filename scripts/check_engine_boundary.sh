#!/bin/sh
# The engine's front door: the programs (cmd/, plugin/) and the robustness
# report see the engine only through engine/engine.h; its stages live in
# engine/internal/ for the engine's tests, PMKInspect and the stage
# benchmarks. The image layer sits below the engine and never includes it.
#   scripts/check_engine_boundary.sh [SOURCE_ROOT]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
status=0

fail() {
  echo "engine boundary: $1" >&2
  status=1
}

for header in engine/*.h; do
  [ "$header" = engine/engine.h ] || fail "$header: stage headers belong in engine/internal/"
done

program_sources=$(find cmd plugin -name '*.cpp' -o -name '*.h' 2>/dev/null; echo bench/robustness.cpp)
for file in $program_sources; do
  [ -f "$file" ] || continue
  beyond=$(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"engine/' "$file" |
    grep -v '"engine/engine\.h"')
  [ -z "$beyond" ] || fail "$file reaches past engine/engine.h: $beyond"
done

for file in $(find image platform -name '*.cpp' -o -name '*.h'); do
  grep -q '^[[:space:]]*#[[:space:]]*include[[:space:]]*"engine/' "$file" &&
    fail "$file: the image and platform layers must not include the engine"
done

exit $status
