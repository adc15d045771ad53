# A desktop of its own for driving the viewer as a user would: an X server
# (Xvfb), the openbox window manager, xdotool for the mouse and ImageMagick's
# `import` for screenshots. Sourced by the desktop test and the README's
# screenshot; every process it starts is ended by desktop_stop.
#
#   desktop_start WIDTH HEIGHT  -> 0; 1 when Xvfb cannot start; 2 when the
#                                  window manager does not come up
#   desktop_window TITLE        -> the X window id of the client titled TITLE
#   desktop_settle              -> waits until two screenshots agree
#   desktop_close_button WID    -> clicks the title bar's close button
#   desktop_stop

desktop_pids=()
desktop_dir=

desktop_start() {
  local width=$1 height=$2 i
  desktop_dir=$(mktemp -d)
  command -v Xvfb >/dev/null || return 1
  # -displayfd: Xvfb picks a free display and names it once it accepts clients.
  Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp \
    3>"$desktop_dir/display" >"$desktop_dir/xvfb.log" 2>&1 &
  desktop_pids+=($!)
  for ((i = 0; i < 100; i++)); do
    [ -s "$desktop_dir/display" ] && break
    kill -0 "${desktop_pids[0]}" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$desktop_dir/display" ]; then
    cat "$desktop_dir/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$desktop_dir/display")"
  # The programs must draw on this display, also where the caller's
  # environment sends Qt elsewhere (the widget tests run it offscreen).
  export QT_QPA_PLATFORM=xcb
  # The window manager's own configuration and cache, not the user's.
  XDG_CONFIG_HOME="$desktop_dir/config" XDG_CACHE_HOME="$desktop_dir/cache" openbox >"$desktop_dir/openbox.log" 2>&1 &
  desktop_pids+=($!)
  for ((i = 0; i < 100; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  echo "openbox did not start:" >&2
  cat "$desktop_dir/openbox.log" >&2
  return 2
}

desktop_stop() {
  local i
  for ((i = ${#desktop_pids[@]} - 1; i >= 0; i--)); do
    kill "${desktop_pids[i]}" 2>/dev/null || true
    wait "${desktop_pids[i]}" 2>/dev/null || true
  done
  desktop_pids=()
  [ -n "$desktop_dir" ] && rm -rf "$desktop_dir"
  desktop_dir=
}

desktop_window() {
  local title=$1 wid i
  for ((i = 0; i < 300; i++)); do
    # The viewer's own window, not Qt's helper windows of the same name.
    for wid in $(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null); do
      if xwininfo -id "$wid" 2>/dev/null | grep -q 'Map State: IsViewable'; then
        echo "$wid"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "no window titled '$title'" >&2
  return 1
}

# Client geometry on screen: sets client_x client_y client_w client_h.
desktop_geometry() {
  local info
  info=$(xwininfo -id "$1")
  client_x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  client_y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  client_w=$(awk '/^ *Width:/ {print $2}' <<<"$info")
  client_h=$(awk '/^ *Height:/ {print $2}' <<<"$info")
}

# Frame extents the window manager drew around the client: frame_left ...
desktop_frame() {
  local extents
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,/ /g')
  read -r frame_left frame_right frame_top frame_bottom <<<"$extents"
}

desktop_settle() {
  local i
  import -window root "$desktop_dir/settle-a.png"
  for ((i = 0; i < 50; i++)); do
    sleep 0.2
    import -window root "$desktop_dir/settle-b.png"
    cmp -s "$desktop_dir/settle-a.png" "$desktop_dir/settle-b.png" && return 0
    mv "$desktop_dir/settle-b.png" "$desktop_dir/settle-a.png"
  done
  echo "the screen did not settle" >&2
  return 1
}

# Openbox puts the close button last in the title bar, a square as high as
# the bar; a click there asks the client to close (WM_DELETE_WINDOW).
desktop_close_button() {
  desktop_geometry "$1"
  desktop_frame "$1"
  xdotool mousemove $((client_x + client_w + frame_right - frame_top / 2 - 1)) \
    $((client_y - frame_top / 2)) click 1
}

# A double click in the middle of the title bar: openbox's (un)maximise.
desktop_toggle_maximised() {
  desktop_geometry "$1"
  desktop_frame "$1"
  xdotool mousemove $((client_x + client_w / 2)) $((client_y - frame_top / 2)) \
    click --repeat 2 --delay 100 1
}
