#!/usr/bin/env bash
# Times the built PMKCmd as a whole process, the way a user runs it, on every
# picture of a folder: the unsigned check with one and two cores, signing
# into JPEG, and checking the signed picture. A loop inside one process (the
# operation benchmarks) keeps the allocator's memory between iterations and
# hides what a one-shot process pays for mapping and zeroing its buffers;
# this script does not.
#
# Usage: bench/whole_process.sh PHOTO_FOLDER [PMKCMD]
#   PMKCMD defaults to build/cmd/PMKCmd. RUNS (default 3) sets hyperfine's
#   runs per command. Wall, user and system times are hyperfine's medians and
#   means; peak memory and page faults come from one more run under
#   /usr/bin/time. Signed copies go to a temporary folder, removed at the end.
set -euo pipefail

if [[ $# -lt 1 || ! -d $1 ]]; then
  echo "usage: $0 PHOTO_FOLDER [PMKCMD]" >&2
  exit 2
fi
photos=$1
pmkcmd=$(realpath "${2:-build/cmd/PMKCmd}")
runs=${RUNS:-3}
for tool in hyperfine /usr/bin/time python3; do
  command -v "$tool" > /dev/null || { echo "$0: $tool is needed" >&2; exit 2; }
done
[[ -x $pmkcmd ]] || { echo "$0: no PMKCmd at $pmkcmd" >&2; exit 2; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One line of the table: hyperfine's timings, then peak memory and faults of
# one run under /usr/bin/time.
measure() {
  local photo=$1 label=$2
  shift 2
  hyperfine --shell=none --runs "$runs" --style none --export-json "$scratch/run.json" \
    -- "$(printf '%q ' "$@")" > /dev/null 2>&1
  /usr/bin/time -f '%M %R %F' -o "$scratch/time.txt" "$@" > /dev/null 2>&1 || true
  python3 - "$scratch/run.json" "$scratch/time.txt" "$photo" "$label" <<'PY'
import json, sys
result = json.load(open(sys.argv[1]))["results"][0]
peak_kb, minor, major = open(sys.argv[2]).read().split()[-3:]
print(f"| {sys.argv[3]} | {sys.argv[4]} | {result['median']:.2f} s | {result['mean']:.2f} s "
      f"| {result['user']:.2f} s | {result['system']:.2f} s | {int(peak_kb) / 1024:.0f} MB "
      f"| {int(minor) + int(major)} |")
PY
}

# The widest vectors the processor offers, so that numbers taken on different
# machines can be compared.
vector_width() {
  local flags
  flags=$(grep -m1 '^flags' /proc/cpuinfo || true)
  case " $flags " in
    *" avx512f "*) echo "512-bit (AVX-512)" ;;
    *" avx2 "*) echo "256-bit (AVX2)" ;;
    *" sse2 "*) echo "128-bit (SSE2)" ;;
    *) echo "unknown" ;;
  esac
}

echo "PMKCmd: $pmkcmd; $runs runs each; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores; vectors up to $(vector_width)"
echo
echo "| picture | run | wall (median) | wall (mean) | user | system | peak memory | page faults |"
echo "|---|---|---|---|---|---|---|---|"
shopt -s nullglob nocaseglob
for photo in "$photos"/*.{jpg,jpeg,png,tif,tiff,bmp}; do
  name=$(basename "$photo")
  signed="$scratch/signed.jpg"
  measure "$name" "check, -cores 1" "$pmkcmd" -cores 1 -i "$photo"
  measure "$name" "check, -cores 2" "$pmkcmd" -cores 2 -i "$photo"
  measure "$name" "sign to JPEG, -cores 2" "$pmkcmd" -cores 2 -s bench-mark -o "$signed" -i "$photo"
  if [[ -f $signed ]]; then
    measure "$name" "check signed, -cores 2" "$pmkcmd" -cores 2 -i "$signed"
  fi
  rm -f "$signed"
done
echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
