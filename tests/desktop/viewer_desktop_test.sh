#!/usr/bin/env bash
# The viewer on a real X display with a window manager, as a user meets it:
# PictomarkerHost opens it maximised over a photograph, the screenshot must
# show the photograph fitted to the view and centred; un-maximised and
# resized, it must be fitted to the new size; the title bar's close button
# closes it, and the host writes the picture back unchanged.
#
#   viewer_desktop_test.sh PICTOMARKER_HOST FIT_CHECK TEST_DATA_DIR
#
# Exits 77 (skipped) only when Xvfb cannot start.
set -euo pipefail

host=$1
fit_check=$2
data=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../tools/viewer_screenshot/desktop_session.sh
source "$here/../../tools/viewer_screenshot/desktop_session.sh"

work=$(mktemp -d)
host_pid=
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  desktop_stop
  rm -rf "$work"
}
trap cleanup EXIT

# A wide screen fits the photograph by its height, the window resized below
# (taller than wide) by its width, so both limits are seen.
status=0
desktop_start 1280 800 || status=$?
if [ "$status" = 1 ]; then
  echo "SKIPPED: Xvfb cannot start here, so the viewer cannot be tried on a desktop"
  exit 77
fi
[ "$status" = 0 ] || exit 1

cp "$data/kodim23.png" "$work/photo.png"  # 768 x 512
mkdir -m 700 "$work/config" "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
(cd "$work" && exec "$host" ./photo.png -o ./out.png >"$work/host.log" 2>&1) &
host_pid=$!

fail() {
  echo "FAILED: $*"
  cat "$work/host.log"
  exit 1
}

check_fit() {
  local what=$1
  desktop_settle || fail "$what: the screen kept changing"
  import -window root "$work/$what.png"
  echo "$what: $("$fit_check" "$work/$what.png" 768 512 | tr '\n' ' ')"
  "$fit_check" "$work/$what.png" 768 512 >/dev/null || fail "$what: the photograph is not fitted"
}

wid=$(desktop_window "Tavelwood - Pictomarker plug-in") || fail "the viewer did not open"
xprop -id "$wid" _NET_WM_STATE | grep -q MAXIMIZED_HORZ || fail "the viewer is not maximised"
check_fit maximised

desktop_toggle_maximised "$wid"
for ((i = 0; i < 50; i++)); do
  xprop -id "$wid" _NET_WM_STATE | grep -q MAXIMIZED || break
  sleep 0.1
done
xdotool windowsize "$wid" 600 700
for ((i = 0; i < 50; i++)); do
  desktop_geometry "$wid"
  [ "$client_w" = 600 ] && [ "$client_h" = 700 ] && break
  sleep 0.1
done
[ "$client_w" = 600 ] && [ "$client_h" = 700 ] || fail "the window is ${client_w}x${client_h}, not 600x700"
check_fit resized

desktop_close_button "$wid"
for ((i = 0; i < 300; i++)); do
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$host_pid" 2>/dev/null && fail "the close button did not close the viewer"
host_status=0
wait "$host_pid" || host_status=$?
host_pid=
[ "$host_status" = 0 ] || fail "PictomarkerHost exited with $host_status"
[ -f "$work/out.png" ] || fail "no picture written"
differing=$(compare -metric AE "$work/photo.png" "$work/out.png" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "the written picture differs from the photograph in $differing pixels"
echo "closed by the title bar's button; the picture was written back unchanged"
