#!/usr/bin/env bash
# The Windows programs under Wine against the Linux ones of the same tree:
# the same messages and exit codes from PMKCmd, the same bytes from signing
# with one seed in every format (both link libjpeg-turbo, libpng, zlib and
# libtiff from the same Debian sources), and a picture whose name is not
# ASCII signed and found.
#   same_as_linux_test.sh LINUX_BUILD WINDOWS_BUILD DATA_FOLDER
set -euo pipefail

linux="$1"
windows="$2"
data="$3"
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all LC_ALL=C.UTF-8

for program in "$linux/cmd/PMKCmd" "$linux/tools/inspect/PMKInspect"; do
  if [ ! -x "$program" ]; then
    echo "$program is missing: build the Linux programs first (make build)" >&2
    exit 1
  fi
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
cp "$data/kodim23.png" photo.png
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Windows programs end their lines with CR LF on standard output.
run_linux() { "$@" 2>&1 | tr -d '\r'; }
run_windows() { "$wine" "$@" 2>&1 | tr -d '\r'; }

# One signing per format with a fixed seed, written by both builds.
for format in png jpg tif bmp; do
  "$linux/tools/inspect/PMKInspect" sign photo.png "linux.$format" SAME-26 --seed 7 >/dev/null
  "$wine" "$windows/tools/inspect/PMKInspect.exe" sign photo.png "windows.$format" SAME-26 \
    --seed 7 >/dev/null 2>&1 || true
  if ! cmp -s "linux.$format" "windows.$format"; then
    fail "signing into .$format: the Windows bytes differ from the Linux bytes"
  fi
done

# And with the web layer, whose basis and filter taps use the maths library.
"$linux/tools/inspect/PMKInspect" sign photo.png linux-web.png SAME-26 --seed 7 --web >/dev/null
"$wine" "$windows/tools/inspect/PMKInspect.exe" sign photo.png windows-web.png SAME-26 \
  --seed 7 --web >/dev/null 2>&1 || true
if ! cmp -s linux-web.png windows-web.png; then
  fail "signing with the web layer: the Windows bytes differ from the Linux bytes"
fi

# PMKCmd: messages and exit codes, case by case.
# (Bare names are looked for in the program's folder: these name the folder.)
cases=(
  ""
  "-i ./linux.png"
  "-i ./photo.png"
  "-i ./linux.jpg"
  "-i ./missing.png"
  "-i ./photo.png -o ./out.png -s bad!sign"
  "-i ./photo.png -o ./out.png"
)
for arguments in "${cases[@]}"; do
  # shellcheck disable=SC2086 # the cases are word lists
  linux_out="$(run_linux "$linux/cmd/PMKCmd" $arguments; echo "exit ${PIPESTATUS[0]}")"
  # shellcheck disable=SC2086
  windows_out="$(run_windows "$windows/cmd/PMKCmd.exe" $arguments; echo "exit ${PIPESTATUS[0]}")"
  if [ "$linux_out" != "$windows_out" ]; then
    fail "PMKCmd $arguments"
    diff <(echo "$linux_out") <(echo "$windows_out") >&2 || true
  fi
done

# A name in three scripts, through the wide-character calls end to end.
name="Ørsted – 北京"
cp photo.png "$name.png"
signed="$(run_windows "$windows/cmd/PMKCmd.exe" -i "./$name.png" -o "./$name signed.jpg" -s UNI-CODE)"
if [ ! -f "$name signed.jpg" ]; then
  fail "signing \"$name.png\": $signed"
elif ! run_linux "$linux/cmd/PMKCmd" -i "./$name signed.jpg" | grep -q "UNI-CODE"; then
  fail "the signature of \"$name signed.jpg\" is not found"
fi
found="$(run_windows "$windows/cmd/PMKCmd.exe" -i "./$name signed.jpg")"
if ! grep -q "UNI-CODE" <<<"$found"; then
  fail "PMKCmd.exe does not read \"$name signed.jpg\": $found"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "The Windows programs agree with the Linux ones"
