#!/usr/bin/env bash
# The viewer as a user sees it: PictomarkerHost opens it over PICTURE on an X
# display of WIDTH x HEIGHT (default 1024 x 640) with the openbox window
# manager, and the whole screen, title bar included, is saved to SHOT once
# the window has settled. The viewer is then closed with its title bar's
# close button; the picture itself is not touched.
#
#   desktop_viewer_shot.sh PICTOMARKER_HOST PICTURE SHOT.png [WIDTH HEIGHT]
set -euo pipefail

if [ $# -ne 3 ] && [ $# -ne 5 ]; then
  echo "usage: desktop_viewer_shot.sh PICTOMARKER_HOST PICTURE SHOT.png [WIDTH HEIGHT]" >&2
  exit 1
fi
host=$(realpath "$1")
picture=$(realpath "$2")
shot=$(realpath -m "$3")
width=${4:-1024}
height=${5:-640}
# shellcheck source=desktop_session.sh
source "$(dirname "$0")/desktop_session.sh"

work=$(mktemp -d)
host_pid=
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  desktop_stop
  rm -rf "$work"
}
trap cleanup EXIT

desktop_start "$width" "$height" || {
  echo "desktop_viewer_shot.sh: no X display could be started (Xvfb, openbox)" >&2
  exit 1
}
# A settings folder of its own: no crash warning, no remembered signature.
mkdir -m 700 "$work/config" "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
extension=${picture##*.}
cp "$picture" "$work/picture.$extension"
(cd "$work" && exec "$host" "./picture.$extension" -o "./out.$extension" >"$work/host.log" 2>&1) &
host_pid=$!

wid=$(desktop_window "Tavelwood - Pictomarker plug-in")
# The mouse off the window, so that no tooltip or hover shows.
xdotool mousemove 0 "$((height - 1))"
desktop_settle
import -window root "$shot"
desktop_close_button "$wid"
for ((i = 0; i < 100; i++)); do
  kill -0 "$host_pid" 2>/dev/null || break
  sleep 0.1
done
wait "$host_pid" || { cat "$work/host.log" >&2; exit 1; }
host_pid=
echo "saved $shot (${width}x${height})"
