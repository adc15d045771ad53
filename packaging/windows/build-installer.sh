#!/usr/bin/env bash
# Builds the Windows installer, PictomarkerSetup-<version>-x64.exe, with NSIS
# (packaging/windows/pictomarker.nsi).
#   build-installer.sh BUILD_DIR DEPS_PREFIX [OUTPUT]
# BUILD_DIR holds PictomarkerPS.8bf with Pictomarker_loc.ini and
# pmk_cmd/PMKCmd.exe beside it (the plug-in folder as installed); DEPS_PREFIX
# holds share/licenses/<source package>/ for every bundled library. The files
# are staged in BUILD_DIR/installer-stage; OUTPUT defaults to
# BUILD_DIR/PictomarkerSetup-<version>-x64.exe. Prints OUTPUT.
set -euo pipefail

die() { echo "build-installer: $*" >&2; exit 1; }

[ $# -ge 2 ] && [ $# -le 3 ] || die "usage: build-installer.sh BUILD_DIR DEPS_PREFIX [OUTPUT]"
build="$(cd "$1" && pwd)" || die "no build folder $1"
prefix="$(cd "$2" && pwd)" || die "no dependency prefix $2"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
# The libraries linked into the plug-in and PMKCmd.exe, by Debian source name.
bundled=(zlib libpng1.6 libjpeg-turbo tiff expat exiv2 freeimage qt6-base)

version="$(sed -n 's/^project(Pictomarker VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || die "no project version in CMakeLists.txt"
IFS=. read -r v1 v2 v3 v4 <<<"$version"
vi_version="$v1.${v2:-0}.${v3:-0}.${v4:-0}"
output="${3:-$build/PictomarkerSetup-$version-x64.exe}"

plugin="$build/PictomarkerPS.8bf"
if [ ! -f "$plugin" ]; then
  mapfile -t found < <(find "$build" -name PictomarkerPS.8bf -type f -not -path "$build/installer-stage/*")
  [ ${#found[@]} -eq 1 ] || die "expected one PictomarkerPS.8bf under $build, found ${#found[@]}"
  plugin="${found[0]}"
fi
plugin_dir="$(dirname "$plugin")"
for f in Pictomarker_loc.ini pmk_cmd/PMKCmd.exe; do
  [ -f "$plugin_dir/$f" ] || die "missing $plugin_dir/$f beside the plug-in"
done

stage="$build/installer-stage"
payload="$stage/payload"
rm -rf "$stage"
mkdir -p "$payload/pmk_cmd" "$payload/licenses"
cp "$plugin" "$plugin_dir/Pictomarker_loc.ini" "$root/README.md" "$payload/"
cp "$plugin_dir/pmk_cmd/PMKCmd.exe" "$payload/pmk_cmd/"
cp "$here/NOTICE.txt" "$payload/licenses/NOTICE.txt"
cp "$root/LICENSE" "$payload/licenses/GPL-3.0.txt"
for name in "${bundled[@]}"; do
  src="$prefix/share/licenses/$name"
  [ -n "$(find "$src" -type f 2>/dev/null | head -n 1)" ] || die "no licence texts in $src"
  cp -R "$src" "$payload/licenses/$name"
done
# Licence files without a suffix ("copyright", "LICENSE") would not open with
# a double click on Windows.
find "$payload/licenses" -type f ! -name '*.*' -exec mv {} {}.txt \;
cat "$here/NOTICE.txt" "$root/LICENSE" >"$stage/license-page.txt"

# The file lists: installed one by one and removed one by one, so the
# uninstaller deletes exactly what was installed.
cd "$payload"
if find . -mindepth 1 | LC_ALL=C grep -q '[^-A-Za-z0-9_.+/ ()]'; then
  die "a staged file name NSIS would misread: $(find . -mindepth 1 | LC_ALL=C grep '[^-A-Za-z0-9_.+/ ()]' | head -n 1)"
fi
dupes="$(find . -mindepth 1 | tr '[:upper:]' '[:lower:]' | sort | uniq -d)"
[ -z "$dupes" ] || die "staged names that differ only in case, one file on Windows: $dupes"
winpath() { local p="${1#./}"; echo "${p//\//\\}"; }
{
  while read -r dir; do
    echo "SetOutPath \"\$INSTDIR\\Pictomarker$( [ "$dir" = . ] || echo "\\$(winpath "$dir")")\""
    find "$dir" -maxdepth 1 -type f | LC_ALL=C sort | while read -r f; do
      echo "File \"$payload/${f#./}\""
    done
  done < <(find . -type d | LC_ALL=C sort)
} >"$stage/install-files.nsh"
{
  find . -type f | LC_ALL=C sort | while read -r f; do echo "Delete \"\$INSTDIR\\$(winpath "$f")\""; done
  find . -mindepth 1 -type d | LC_ALL=C sort -r | while read -r d; do echo "RMDir \"\$INSTDIR\\$(winpath "$d")\""; done
} >"$stage/uninstall-files.nsh"
cd - >/dev/null

mkdir -p "$(dirname "$output")"
makensis -V2 -NOCD \
  "-DVERSION=$version" "-DVIVERSION=$vi_version" \
  "-DSTAGE=$stage" "-DOUTFILE=$output" \
  "$here/pictomarker.nsi" >&2
echo "$output"
