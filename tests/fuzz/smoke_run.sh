#!/usr/bin/env bash
# Runs one fuzz target for SECONDS on a fresh copy of its committed seed
# corpus, with its dictionary where it has one; on a finding prints the end of
# the target's log and fails. `make fuzz-smoke` runs the targets through this,
# as many at a time as there are jobs: each is one process on one core.
#   smoke_run.sh BUILD TARGET SECONDS
set -euo pipefail
build="$1" target="$2" seconds="$3"
here="$(cd "$(dirname "$0")" && pwd)"

rm -rf "$build/corpus/$target"
mkdir -p "$build/corpus/$target" "$build/artifacts"
cp "$here/corpus/$target"/* "$build/corpus/$target/"
dict=()
if [ -f "$here/${target#fuzz_}.dict" ]; then
  dict=("-dict=$here/${target#fuzz_}.dict")
fi

echo "$target: $seconds s"
if ! LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0" \
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=25 \
  -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "${dict[@]}" \
  "$build/corpus/$target" 2>"$build/$target.log"; then
  tail -n 60 "$build/$target.log"
  exit 1
fi
grep -h '^Done\|^stat::number_of_executed_units\|^stat::average_exec_per_sec' "$build/$target.log"
