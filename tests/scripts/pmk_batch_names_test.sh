#!/usr/bin/env bash
# pmk-batch hands PMKCmd every picture, output and log with a separator in
# it, whatever folder it was given: PMKCmd would look for a bare name in its
# own folder.
#   pmk_batch_names_test.sh PMK_BATCH
set -euo pipefail
batch="$(readlink -f "$1")"
work="$(readlink -f "$(mktemp -d)")"
trap 'rm -rf "$work"' EXIT
cd "$work"
export RECORD="$work/names"
failures=0

# Stands in for PMKCmd: writes the value of each -i, -o and -l, one a line.
cat >record <<'SCRIPT'
#!/bin/sh
while [ $# -gt 1 ]; do
  case "$1" in -i | -o | -l) printf '%s\n' "$2" >>"$RECORD" && shift ;; esac
  shift
done
SCRIPT
chmod +x record
mkdir -p pics/sub
touch pics/a.png pics/sub/b.jpg

# The folder given and where pmk-batch runs; two pictures signed (-i, -o, -l)
# and checked (-i, -l) make ten names.
for run in ". pics" "./ pics" "pics ." "pics/ ." ".. pics/sub"; do
  read -r folder from <<<"$run"
  : >"$RECORD"
  (cd "$from" && "$batch" sign "$folder" --signature abcdef --pmkcmd "$work/record" &&
    "$batch" check "$folder" --pmkcmd "$work/record") >/dev/null 2>&1 || true
  if [ "$(wc -l <"$RECORD")" -ne 10 ] || grep -v / "$RECORD" >&2; then
    echo "FAIL: pmk-batch sign/check $folder from $from" >&2
    failures=$((failures + 1))
  fi
done

# --robust and --web end PMKCmd's arguments in the plug-in's order.
cat >arguments <<'SCRIPT'
#!/bin/sh
printf '%s\n' "$*" >>"$RECORD"
SCRIPT
chmod +x arguments
for run in "|" "--robust| -robust" "--web| -web" "--web --robust| -robust -web"; do
  options="${run%|*}" expected=" -c 90${run#*|}"
  : >"$RECORD"
  # shellcheck disable=SC2086 # the options are separate words
  "$batch" sign pics/sub --signature abcdef --pmkcmd "$work/arguments" $options >/dev/null 2>&1 || true
  line="$(cat "$RECORD")"
  if [ "${line%"$expected"}" = "$line" ]; then
    echo "FAIL: pmk-batch sign $options ran PMKCmd $line" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || exit 1
echo "pmk-batch: every name handed on holds a separator, the signing options come last"
