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
# The libraries are cached whole, so a compiler cache (which the Makefile
# hands to every CMake configure) could only add its own cost here.
export CCACHE_DISABLE=true

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

# --- Sources -----------------------------------------------------------------

# shellcheck source=lib/debian-sources.sh
. "$(dirname "$0")/lib/debian-sources.sh"
debian_sources_init "$cache_root"

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
