#!/usr/bin/env bash
# The Windows installer under Wine, headless, in a private prefix: a silent
# install (PMKCmd on the PATH) into a Plug-ins folder that already holds a
# file of the user's, a reinstall over it, then the silent uninstall, which
# must leave the user's file, Path and folder as they were.
#   installer_test.sh PictomarkerSetup-<version>-x64.exe
set -euo pipefail

fail() { echo "installer_test: FAIL: $*" >&2; exit 1; }
[ $# -eq 1 ] && [ -f "$1" ] || fail "usage: installer_test.sh INSTALLER.exe"
wine="${WINE:-/usr/lib/wine/wine64}"
wineserver="${WINESERVER:-/usr/lib/wine/wineserver}"

tmp="$(mktemp -d)"
export WINEPREFIX="$tmp/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$tmp"' EXIT

now() { date +%s.%N; }
took() { awk -v a="$2" -v b="$(now)" -v what="$1" 'BEGIN { printf "%s %.1f s\n", what, b - a }'; }
# A program run to its end, and every process it started (the uninstaller
# hands over to a copy of itself in the temp folder and returns at once).
run() { timeout 300 "$wine" "$@" || fail "$* exited with $?"; timeout 120 "$wineserver" -w; }
# The user's Path, written into the saved hive between runs (a `reg add`
# would cost a Wine start, seconds).
set_path() {
  VALUE="\"Path\"=str(2):$(escaped "$1")" awk '
    /^\[/ { if (inside) print ENVIRON["VALUE"]; inside = index($0, "[Environment]") == 1 }
    inside && /^$/ { print ENVIRON["VALUE"]; inside = 0 }
    !(inside && /^"Path"=/) { print }
    END { if (inside) print ENVIRON["VALUE"] }
  ' "$WINEPREFIX/user.reg" >"$tmp/user.reg" && mv "$tmp/user.reg" "$WINEPREFIX/user.reg"
}
# A value from the user hive as Wine writes it (backslashes doubled), once
# the wineserver has gone and saved it; empty when absent.
reg_value() {
  KEY="[$1]" NAME="\"$2\"=" awk '
    BEGIN { key = ENVIRON["KEY"]; name = ENVIRON["NAME"] }
    index($0, key) == 1 { inside = 1; next }
    /^\[/ { inside = 0 }
    inside && index($0, name) == 1 { v = substr($0, length(name) + 1); sub(/^str\(2\):/, "", v); print v }
  ' "$WINEPREFIX/user.reg"
}
escaped() { printf '"%s"' "$(printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g')"; }
expect_path() { [ "$(reg_value Environment Path)" = "$(escaped "$1")" ] || fail "$2: Path is $(reg_value Environment Path), expected $(escaped "$1")"; }

start=$(now)
timeout 600 "$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot failed"
timeout 120 "$wineserver" -w
took "wineboot:" "$start"

# A Plug-ins folder with a space in its name, as under Program Files.
plugins_win='C:\Photo Editor 2024\Plug-ins'
plugins="$WINEPREFIX/drive_c/Photo Editor 2024/Plug-ins"
ours="$plugins/Pictomarker"
cmd_dir="$plugins_win\\Pictomarker\\pmk_cmd"
mkdir -p "$plugins"
echo "the user's own plug-in" >"$plugins/Other.8bf"
setup="$(basename "$1")"
cp "$1" "$WINEPREFIX/drive_c/$setup"
# An empty entry and a trailing separator, both to be kept as they are.
user_path='C:\keep;;%SystemRoot%\x;'

check_installed() {
  for f in PictomarkerPS.8bf Pictomarker_loc.ini README.md pmk_cmd/PMKCmd.exe Uninstall.exe \
           licenses/NOTICE.txt licenses/GPL-3.0.txt; do
    [ -s "$ours/$f" ] || fail "$1: $f not installed"
  done
  grep -q 'version 3 of the License, or (at your option)' "$ours/licenses/NOTICE.txt" || fail "$1: no GPL-3+ notice"
  for lib in zlib libpng1.6 libjpeg-turbo tiff expat exiv2 freeimage qt6-base; do
    [ -n "$(find "$ours/licenses/$lib" -type f -size +0)" ] || fail "$1: no licence texts for $lib"
  done
  grep -qx "the user's own plug-in" "$plugins/Other.8bf" || fail "$1: the user's file was changed"
  local key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictomarker'
  [ "$(reg_value "$key" QuietUninstallString)" = "$(escaped "\"$plugins_win\\Pictomarker\\Uninstall.exe\" /S")" ] ||
    fail "$1: uninstall entry $(reg_value "$key" QuietUninstallString)"
  for v in DisplayName DisplayVersion Publisher UninstallString; do
    [ -n "$(reg_value "$key" $v)" ] || fail "$1: no $v in the uninstall entry"
  done
  [ "$(reg_value 'Software\\Pictomarker' PluginsFolder)" = "$(escaped "$plugins_win")" ] || fail "$1: Plug-ins folder not remembered"
}

# Through cmd, as typed: /D= takes the rest of the line, spaces and all, and
# Wine would otherwise quote it.
set_path "$user_path"
start=$(now)
run cmd /c "C:\\$setup /S /PATH /D=$plugins_win"
took "install:" "$start"
check_installed install
expect_path "$user_path;$cmd_dir" install

# A Path longer than the installer can rewrite is left alone, by the earlier
# installation's uninstaller as by the installer.
long_path="C:\\long\\$(printf 'a%.0s' $(seq 1100))"
set_path "$long_path"
start=$(now)
run cmd /c "C:\\$setup /S /PATH /D=$plugins_win"
took "reinstall:" "$start"
check_installed reinstall
expect_path "$long_path" reinstall

set_path "$user_path;$cmd_dir"
start=$(now)
run "$plugins_win\\Pictomarker\\Uninstall.exe" /S
took "uninstall:" "$start"
[ ! -e "$ours" ] || fail "uninstall left: $(cd "$plugins" && find Pictomarker | head -n 5 | tr '\n' ' ')"
[ "$(cd "$plugins" && ls -A)" = Other.8bf ] || fail "uninstall changed the Plug-ins folder: $(ls -A "$plugins")"
grep -qx "the user's own plug-in" "$plugins/Other.8bf" || fail "uninstall changed the user's file"
expect_path "$user_path" uninstall
! grep -q 'Pictomarker' "$WINEPREFIX/user.reg" || fail "uninstall left registry entries: $(grep -B3 Pictomarker "$WINEPREFIX/user.reg" | head)"
echo "installer_test: OK"
