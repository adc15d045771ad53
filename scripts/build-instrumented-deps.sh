#!/usr/bin/env bash
# Builds FreeImage and Exiv2 with clang, AddressSanitizer, UBSan and libFuzzer
# coverage, from the Debian source packages of exactly the versions installed,
# so that the fuzz targets see (and the sanitizers check) the decoders and
# metadata parsers the programs really run, not only our own code.
#
# Debian's patches are applied (dpkg-source), nothing else is changed. The
# sources come through a private apt configuration (its own sources list with
# deb-src entries for the machine's own Debian mirrors, its own state and
# cache) under the cache folder: the system's apt configuration is only read.
# The libraries are installed into the cache folder, never system-wide, and
# never shipped. A finished build is kept (a stamp): a second run only prints
# the folder.
#
# Prints the installation prefix (with lib/ and include/) as its last line;
# progress goes to standard error.
#   PMK_INSTRUMENTED_CACHE   cache folder (default
#                            ${XDG_CACHE_HOME:-~/.cache}/pictomarker/instrumented-deps)
#   JOBS                     parallel compile jobs (default 2)
set -euo pipefail

say() { echo "build-instrumented-deps: $*" >&2; }

# CI runners may start us without HOME: the account's home folder then.
home="${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}"
cache_root="${PMK_INSTRUMENTED_CACHE:-${XDG_CACHE_HOME:-$home/.cache}/pictomarker/instrumented-deps}"
jobs="${JOBS:-2}"

installed_source() {  # binary package -> "source version"
  dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1"
}
read -r freeimage_source freeimage_version < <(installed_source libfreeimage3)
read -r exiv2_source exiv2_version < <(installed_source libexiv2-27)

# The flags every instrumented object is built with. Changing them, or the
# recipe's revision (raise it whenever the build steps below change), gives a
# new stamp, so a stale build is never reused.
recipe_revision=1
sanitize_flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined"
common_flags="-g -O1 -fno-omit-frame-pointer $sanitize_flags"
build_id="$(echo "$recipe_revision $common_flags $(clang --version | head -n 1)" | sha256sum | cut -c1-12)"
prefix="$cache_root/${freeimage_source}-${freeimage_version}_${exiv2_source}-${exiv2_version}"
stamp="$prefix/.built-$build_id"

if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

# --- Sources, through a private apt configuration ---------------------------

apt_root="$cache_root/apt"
mkdir -p "$apt_root/etc/sources.list.d" "$apt_root/etc/preferences.d" \
  "$apt_root/lists/partial" "$apt_root/cache/archives/partial"

# One deb-src line for each enabled "deb" entry of the system's own lists,
# one-line and deb822 alike, with the same mirror, suites, components and key.
system_deb_src_lines() {
  local list
  for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$list" ] || continue
    awk '$1 == "deb" { $1 = "deb-src"; print }' "$list"
  done
  for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] || continue
    awk -v RS= -F '\n' '
      {
        types = uris = suites = comps = key = ""; enabled = "yes"
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^#/ || line !~ /:/) continue
          name = tolower(substr(line, 1, index(line, ":") - 1))
          value = substr(line, index(line, ":") + 1)
          gsub(/^[ \t]+|[ \t]+$/, "", value)
          if (name == "types") types = value
          else if (name == "uris") uris = value
          else if (name == "suites") suites = value
          else if (name == "components") comps = value
          else if (name == "signed-by") key = value
          else if (name == "enabled") enabled = tolower(value)
        }
        if (enabled == "no" || (" " types " ") !~ / deb /) next
        option = key == "" ? "" : "[signed-by=" key "] "
        n_uris = split(uris, uri_list, /[ \t]+/)
        n_suites = split(suites, suite_list, /[ \t]+/)
        for (u = 1; u <= n_uris; u++)
          for (s = 1; s <= n_suites; s++)
            print "deb-src " option uri_list[u] " " suite_list[s] " " comps
      }' "$list"
  done
}

system_deb_src_lines | grep -E '(debian|ubuntu)' >"$apt_root/etc/sources.list" || true
if [ ! -s "$apt_root/etc/sources.list" ]; then
  say "no Debian mirror found in /etc/apt; cannot fetch the sources"
  exit 1
fi

apt_private=(
  -o "Dir::Etc::SourceList=$apt_root/etc/sources.list"
  -o "Dir::Etc::SourceParts=$apt_root/etc/sources.list.d"
  -o "Dir::Etc::Preferences=$apt_root/etc/preferences"
  -o "Dir::Etc::PreferencesParts=$apt_root/etc/preferences.d"
  -o "Dir::State=$apt_root"
  -o "Dir::State::Lists=$apt_root/lists"
  -o "Dir::Cache=$apt_root/cache"
  -o "Debug::NoLocking=true"
)
# Root would hand the downloads to the _apt user, who cannot write here.
if [ "$(id -u)" -eq 0 ]; then apt_private+=(-o "APT::Sandbox::User=root"); fi

src_root="$cache_root/src"
fetch_source() {  # source version -> prints the unpacked folder
  local name="$1" version="$2"
  local upstream="${version#*:}"
  upstream="${upstream%-*}"
  local folder="$src_root/$name-$version"
  if [ ! -f "$folder/.unpacked" ]; then
    # Once a run ($$ is this script's own process in the subshells too).
    if [ ! -f "$apt_root/.read-by-$$" ]; then
      say "reading the source indices of $(awk '{print $(NF - 1)}' "$apt_root/etc/sources.list" | sort -u | tr '\n' ' ')"
      apt-get "${apt_private[@]}" update -qq >&2
      rm -f "$apt_root"/.read-by-*
      touch "$apt_root/.read-by-$$"
    fi
    rm -rf "$folder"
    mkdir -p "$folder"
    say "fetching $name $version"
    (cd "$folder" && apt-get "${apt_private[@]}" source -qq "$name=$version" >&2)
    mv "$folder/$name-$upstream" "$folder/tree"
    touch "$folder/.unpacked"
  fi
  echo "$folder/tree"
}

freeimage_tree="$(fetch_source "$freeimage_source" "$freeimage_version")"
exiv2_tree="$(fetch_source "$exiv2_source" "$exiv2_version")"
say "sources in $freeimage_tree and $exiv2_tree"

# --- Builds ------------------------------------------------------------------

work="$cache_root/build-$build_id"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
export CC=clang CXX=clang++

# FreeImage: its own makefile, as Debian's rules drive it (the source list
# regenerated for the unbundled tree), with our compiler and flags. Only the
# shared library is built; the fuzz build finds it through its run path.
say "building FreeImage $freeimage_version"
cp -a "$freeimage_tree" "$work/freeimage"
(cd "$work/freeimage" && sh gensrclist.sh)
read -r major minor < <(awk '$1 == "VER_MAJOR" { a = $3 } $1 == "VER_MINOR" { b = $3 }
                             END { print a, b }' "$work/freeimage/Makefile.srcs")
library="libfreeimage-$major.$minor.so"
(
  cd "$work/freeimage"
  nice make -s -f Makefile.gnu -j"$jobs" CC="$CC" CXX="$CXX" \
    CFLAGS="$common_flags -fPIC -w" CXXFLAGS="$common_flags -fPIC -w" \
    LDFLAGS="-fsanitize=address,undefined" "$library"
) >&2
cp "$work/freeimage/$library" "$prefix/lib/"
ln -sf "$library" "$prefix/lib/libfreeimage.so.$major"
ln -sf "libfreeimage.so.$major" "$prefix/lib/libfreeimage.so"
cp "$work/freeimage/Source/FreeImage.h" "$prefix/include/"

# Exiv2: CMake with Debian's options, without the samples, tests and manuals.
say "building Exiv2 $exiv2_version"
nice cmake -S "$exiv2_tree" -B "$work/exiv2" -G Ninja -Wno-dev \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS="$common_flags -w" -DCMAKE_CXX_FLAGS="$common_flags -w" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=ON \
  -DEXIV2_ENABLE_BMFF=ON -DEXIV2_ENABLE_NLS=ON -DEXIV2_ENABLE_VIDEO=ON -DEXIV2_ENABLE_WEBREADY=ON \
  -DEXIV2_BUILD_SAMPLES=OFF -DEXIV2_BUILD_EXIV2_COMMAND=OFF -DEXIV2_BUILD_UNIT_TESTS=OFF \
  -DEXIV2_BUILD_DOC=OFF >&2
nice cmake --build "$work/exiv2" -j"$jobs" >&2
cmake --install "$work/exiv2" >&2

rm -rf "$work"
touch "$stamp"
say "done"
echo "$prefix"
