#!/usr/bin/env bash
# Pictures per second of pmk-batch for every combination of --jobs and
# --cores up to the machine's core count: unsigned checks and signing, on
# copies of one small and one large photograph. pmk-batch's default is the
# best combination this measures; run it on a quiet machine.
#
# Usage: bench/batch_throughput.sh SMALL_PHOTO LARGE_PHOTO [PMKCMD]
#   PMKCMD defaults to build/cmd/PMKCmd. COPIES (default 6) sets how many
#   copies of each photograph one run processes.
set -euo pipefail

if [[ $# -lt 2 || ! -f $1 || ! -f $2 ]]; then
  echo "usage: $0 SMALL_PHOTO LARGE_PHOTO [PMKCMD]" >&2
  exit 2
fi
pmkcmd=$(realpath "${3:-build/cmd/PMKCmd}")
batch=$(realpath "$(dirname "$0")/../scripts/pmk-batch")
copies=${COPIES:-6}
cores=$(nproc)
[[ -x $pmkcmd ]] || { echo "$0: no PMKCmd at $pmkcmd" >&2; exit 2; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

megapixels() {
  identify -format '%w %h' "$1[0]" | awk '{ printf "%.1f", $1 * $2 / 1e6 }'
}

# Seconds of one pmk-batch run over a fresh folder of copies.
run_batch() {
  local photo=$1 mode=$2 jobs=$3 threads=$4 folder="$scratch/pictures"
  rm -rf "$folder" && mkdir -p "$folder"
  for ((i = 0; i < copies; ++i)); do cp "$photo" "$folder/copy$i.${photo##*.}"; done
  local -a extra=()
  [[ $mode == check ]] || extra=(--signature bench-mark)
  local start
  start=$(date +%s%N)
  "$batch" "$mode" "$folder" --jobs "$jobs" --cores "$threads" --pmkcmd "$pmkcmd" "${extra[@]}" > /dev/null 2>&1 || true
  echo $(($(date +%s%N) - start))
}

echo "processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $cores cores, $(free -g | awk '/^Mem:/ {print $2}') GB"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $copies copies per run"
echo
echo "| picture | run | --jobs | --cores | seconds | pictures / s |"
echo "|---|---|---|---|---|---|"
for photo in "$1" "$2"; do
  label="$(basename "$photo") ($(megapixels "$photo") MP)"
  for mode in check sign; do
    for ((jobs = 1; jobs <= cores; ++jobs)); do
      for ((threads = 1; threads <= cores; ++threads)); do
        nanoseconds=$(run_batch "$photo" "$mode" "$jobs" "$threads")
        awk -v label="$label" -v mode="$mode" -v jobs="$jobs" -v threads="$threads" \
          -v ns="$nanoseconds" -v copies="$copies" \
          'BEGIN { s = ns / 1e9; printf "| %s | %s | %d | %d | %.1f | %.2f |\n", label, mode, jobs, threads, s, copies / s }'

      done
    done
  done
done
echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
