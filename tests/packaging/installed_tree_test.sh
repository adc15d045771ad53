#!/usr/bin/env bash
# The installed tree, or the Debian package unpacked into a throw-away root,
# runs from any folder and refers to nothing in the build tree.
#   installed_tree_test.sh install TEST_BUILD_DIR SOURCE_DIR
#   installed_tree_test.sh package RELEASE_BUILD_DIR SOURCE_DIR
# The package is built as `make package` builds it: RELEASE_BUILD_DIR is
# configured (once) without tests, benchmarks or test seams and brought up to
# date here; the packaged library must hold no seam.
set -euo pipefail
how="$1"
source="$(readlink -f "$3")"
if [ "$how" = package ]; then
  mkdir -p "$2"
  generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  [ -f "$2/CMakeCache.txt" ] ||
    cmake -S "$source" -B "$2" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPMK_TEST_SEAMS=OFF -DBUILD_TESTING=OFF -DPMK_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build "$2" -j "$(nproc)" >"$2/build.log" 2>&1 || { tail -n 40 "$2/build.log" >&2; exit 1; }
fi
build="$(readlink -f "$2")"
work="$(readlink -f "$(mktemp -d)")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if [ "$how" = install ]; then
  cmake --install "$build" --prefix "$work/root/usr" --strip >/dev/null
else
  cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >"$work/cpack.log" ||
    { cat "$work/cpack.log" >&2; exit 1; }
  deb="$(find "$work/package" -maxdepth 1 -name 'pictomarker_*.deb')"
  [ -n "$deb" ] || { echo "FAIL: no package" >&2; exit 1; }
  depends="$(dpkg-deb -f "$deb" Depends)"
  for needed in libfreeimage3 libexiv2 parallel libc6; do
    [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
  done
  # Debian's own checker, default profile: no error and no warning.
  lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 ||
    fail "lintian: $(cat "$work/lintian.txt")"
  dpkg -x "$deb" "$work/root"
  grep -q PMK_WINDOW_LOOP_TEST "$work/root/usr/lib/pictomarker/libPictomarkerPS.so" &&
    fail "the packaged library holds the window loop's test seam"
  for program in bin/PMKCmd bin/PMKInspect lib/pictomarker/pmk_cmd/PMKCmd; do
    if grep -q PMK_TEST_MAX_LANES "$work/root/usr/$program"; then
      fail "the packaged $program reads the lane cap's test seam"
    fi
  done
fi
usr="$work/root/usr"

expected=(bin/PMKCmd bin/PMKInspect bin/PictomarkerHost bin/pmk-batch
  lib/pictomarker/libPictomarkerPS.so lib/pictomarker/pmk_cmd/PMKCmd
  lib/gimp/2.0/plug-ins/pictomarker/pictomarker
  share/man/man1/PMKCmd.1.gz share/man/man1/PMKInspect.1.gz share/man/man1/PictomarkerHost.1.gz
  share/man/man1/pmk-batch.1.gz
  share/doc/pictomarker/README.md share/doc/pictomarker/SECURITY.md
  share/doc/pictomarker/LICENSE share/doc/pictomarker/copyright share/doc/pictomarker/changelog.gz)
# The language file ships once the plug-in's dialogs are built.
[ ! -f "$source/plugin/dialogs/Pictomarker_loc.ini" ] || expected+=(lib/pictomarker/Pictomarker_loc.ini)
for file in "${expected[@]}"; do
  [ -f "$usr/$file" ] || fail "$file not installed"
done
[ ! -L "$usr/lib/pictomarker/pmk_cmd/PMKCmd" ] || fail "pmk_cmd/PMKCmd is a link"
# GIMP's plug-in finds the plug-in library of the same tree.
gimp_library="$("$usr/lib/gimp/2.0/plug-ins/pictomarker/pictomarker" --plugin-library)"
[ "$gimp_library" = "$usr/lib/pictomarker/libPictomarkerPS.so" ] ||
  fail "the GIMP plug-in looks for $gimp_library"
if [ "$how" = install ]; then
  # The user's GIMP folder gets the program with everything it needs beside it.
  GIMP2_DIRECTORY="$work/gimp" cmake --install "$build" --component gimp >/dev/null
  for file in pictomarker libPictomarkerPS.so Pictomarker_loc.ini pmk_cmd/PMKCmd; do
    [ -f "$work/gimp/plug-ins/pictomarker/$file" ] || fail "$file not in the user's GIMP folder"
  done
fi

# Nothing points back into the build tree: no run path, no path in any file.
while IFS= read -r -d '' file; do
  if readelf -d "$file" 2>/dev/null | grep -Eq 'R(UN)?PATH'; then fail "$file has a run path"; fi
done < <(find "$usr" -type f -print0)
if grep -rlF "$build" "$usr" >"$work/refs"; then fail "refer to the build tree: $(cat "$work/refs")"; fi

for page in "$usr"/share/man/man1/*.1.gz; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >"$work/page.txt")"
  [ -z "$warnings" ] || fail "$page: $warnings"
  if ! grep -q '^NAME' "$work/page.txt" || ! grep -q '^SYNOPSIS' "$work/page.txt"; then
    fail "$page has no NAME or SYNOPSIS"
  fi
done

# From a folder unrelated to both trees: sign, check, and let the host load
# the plug-in, which finds pmk_cmd/PMKCmd beside itself.
mkdir "$work/elsewhere"
cd "$work/elsewhere"
cp "$source/tests/data/kodim23.png" photo.png
[ "$("$usr/bin/PMKCmd" -i ./photo.png -o ./signed.png -s abcdef -cores 2)" = "Success!" ] ||
  fail "installed PMKCmd did not sign"
"$usr/bin/PMKCmd" -i photo.png >/dev/null 2>hint.txt && fail "a bare name was found in the current folder"
grep -qF "photo.png was looked for in the program's folder ($usr/bin)" hint.txt ||
  fail "no hint for a bare name: $(cat hint.txt)"
[ "$("$usr/lib/pictomarker/pmk_cmd/PMKCmd" -i ./signed.png)" = "Signature detected:abcdef" ] ||
  fail "the plug-in's PMKCmd did not find the signature"
if [ "$how" = install ]; then
  PMK_WINDOW_LOOP_TEST=close QT_QPA_PLATFORM=offscreen "$usr/bin/PictomarkerHost" --about >about.txt 2>&1 ||
    fail "PictomarkerHost --about: $(cat about.txt)"
else
  # Without a seam the box would wait for a user; without a display it is
  # not shown and the text alone is printed.
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/PictomarkerHost" --about \
    >about.txt 2>&1 || fail "PictomarkerHost --about: $(cat about.txt)"
fi
grep -q 'Pictomarker' about.txt || fail "no plug-in name in: $(cat about.txt)"
"$usr/bin/pmk-batch" check . >/dev/null 2>&1 || fail "installed pmk-batch failed"
grep -qx './signed.png:Signature detected:abcdef' detecting_output.log ||
  fail "installed pmk-batch did not run the PMKCmd beside it"

[ "$failures" -eq 0 ] || exit 1
echo "$how: the installed tree is complete and runs on its own"
