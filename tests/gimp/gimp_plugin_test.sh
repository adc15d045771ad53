#!/usr/bin/env bash
# The GIMP plug-in inside GIMP: installed with `cmake --install --component
# gimp` into a scratch GIMP folder, then driven by Script-Fu in batch mode.
#   gimp_plugin_test.sh BUILD_DIR PMKCMD TEST_DATA_DIR
set -euo pipefail
build="$(readlink -f "$1")"
pmkcmd="$(readlink -f "$2")"
data="$(readlink -f "$3")"
here="$(dirname "$(readlink -f "$0")")"
work="$(readlink -f "$(mktemp -d)")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

export GIMP2_DIRECTORY="$work/gimp"
# The plug-in's settings and registry, apart from the user's.
export XDG_CONFIG_HOME="$work/config"
cmake --install "$build" --component gimp >/dev/null
[ -x "$GIMP2_DIRECTORY/plug-ins/pictomarker/pictomarker" ] || { echo "FAIL: not installed" >&2; exit 1; }
# Folders GIMP writes into when it quits.
mkdir -p "$GIMP2_DIRECTORY"/{brushes,dynamics,gradients,palettes,patterns,tool-presets}

# The viewer signs with "gimp-26" and closes itself.
QT_QPA_PLATFORM=offscreen PMK_WINDOW_LOOP_TEST=sign:gimp-26 \
  gimp-console-2.10 -i -d -f \
  -b "(begin (load \"$here/pictomarker_checks.scm\") (pmk-run-checks \"$data\" \"$work\"))" \
  -b '(gimp-quit 0)' >"$work/gimp.log" 2>&1 || fail "gimp-console ended with $?"
grep 'PMK-' "$work/gimp.log"
grep -q 'PMK-DONE' "$work/gimp.log" || fail "the checks did not run to the end"
if grep -q 'PMK-FAIL' "$work/gimp.log"; then fail "a check inside GIMP failed"; fi
[ "$failures" -eq 0 ] || cat "$work/gimp.log" >&2

for export in signed.png viewer_signed.png; do
  found="$("$pmkcmd" -i "$work/$export" -cores 2 | head -n 1)"
  [ "$found" = "Signature detected:gimp-26" ] || fail "PMKCmd on $export: $found"
done
# Shrunk and recompressed for the web, as the cell mark alone does not survive.
convert "$work/web_signed.png" -resize 256x -quality 70 "$work/web_small.jpg"
found="$("$pmkcmd" -i "$work/web_small.jpg" -cores 2 | head -n 1)"
[ "$found" = "Signature detected:web-26" ] || fail "PMKCmd on the shrunk web_signed.png: $found"
# The viewer changed colours only: the alpha plane is the photograph's.
convert "$data/tulips_rgba.png" -alpha extract "$work/alpha_before.pgm"
convert "$work/viewer_signed.png" -alpha extract "$work/alpha_after.pgm"
differing="$(compare -metric AE "$work/alpha_before.pgm" "$work/alpha_after.pgm" null: 2>&1 || true)"
[ "$differing" = 0 ] || fail "alpha of the viewer's result differs in $differing pixels"

[ "$failures" -eq 0 ] || exit 1
echo "the GIMP plug-in signs and detects inside GIMP"
