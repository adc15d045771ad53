#!/usr/bin/env bash
# PictomarkerHost.exe loads PictomarkerPS.8bf as the photo editor does (the
# property list from its PiPL resource) and plays it under Wine: a run whose
# window closes at once gives the pixels back unchanged, and a run whose
# window signs (the test build's window-loop seam) writes a picture that
# PMKCmd.exe then finds.
#   host_program_test.sh WINDOWS_BUILD DATA_FOLDER
set -euo pipefail

build="$1"
data="$2"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
host="$build/plugin/library/PictomarkerHost.exe"

scratch="$(mktemp -d)"
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
cd "$scratch"

# The plug-in's Qt runs on its windows platform, as in the editor (Wine does
# not pass QT_* variables on to Windows programs). Without a display Wine
# creates no window at all, not even the hidden one that carries Qt's timers
# and posted events, and the viewer's loop would wait forever; its null
# display driver creates them. The driver is chosen when a prefix's desktop
# starts, hence a prefix of this test's own.
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ||
  { echo "FAIL: Wine's null display driver could not be chosen" >&2; exit 1; }
timeout 120 "$wineserver" -w
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# ImageMagick counts the pixels that differ.
same_pixels() {
  [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]
}

cp "$data/kodim23.png" photo.png
if ! PMK_WINDOW_LOOP_TEST=close "$wine" "$host" ./photo.png --log run.log >host.out 2>&1; then
  fail "the host's run with the window closed at once: $(tr -d '\r' <host.out)"
elif [ ! -f photo-signed.png ]; then
  fail "the host wrote no picture back"
elif ! same_pixels ./photo.png ./photo-signed.png; then
  fail "the pixels came back changed from a window that did nothing"
fi
if ! grep -q "selector 3 Start -> 0" run.log 2>/dev/null; then
  fail "the run's log lacks the Start selector: $(cat run.log 2>/dev/null)"
fi

rm -f photo-signed.png
PMK_WINDOW_LOOP_TEST=sign:HOST-2026 "$wine" "$host" ./photo.png >host.out 2>&1 || true
found="$("$wine" "$build/cmd/PMKCmd.exe" -i ./photo-signed.png 2>&1 | tr -d '\r' || true)"
if [ "$found" != "Signature detected:HOST-2026" ]; then
  fail "the picture the viewer signed: $found ($(tr -d '\r' <host.out))"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "PictomarkerHost.exe plays PictomarkerPS.8bf"
