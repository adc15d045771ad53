#!/usr/bin/env bash
# Cross-builds the libraries the Windows x64 programs link, statically, with
# Debian's MinGW-w64, from Debian's source packages with Debian's patches:
# zlib, libpng, libjpeg-turbo, libtiff, expat, Exiv2, FreeImage and Qt 6.
#
# Only what the programs use is built. FreeImage gets its BMP, JPEG, PNG and
# TIFF plug-ins (the others register as formats it can neither read nor
# write, so the format numbers stay FreeImage's); Qt gets Core, Gui, Widgets
# and the windows and offscreen platform plug-ins. Less to build, and less to
# attack.
#
# The versions are the ones installed here where their sources are still
# published (libjpeg-turbo then encodes as the Linux programs do, and Qt
# matches the host tools its build runs), else the newest published.
# Everything lands in the cache folder, never system-wide; a finished build
# is kept (a stamp), so a second run only prints the folder.
#
# Prints the installation prefix as its last line; progress goes to
# standard error.
#   PMK_WINDOWS_CACHE   cache folder (default
#                       ${XDG_CACHE_HOME:-~/.cache}/pictomarker/windows-deps)
#   JOBS                parallel compile jobs (default 2)
set -euo pipefail

say() { echo "build-windows-deps: $*" >&2; }

here="$(cd "$(dirname "$0")" && pwd)"
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
home="${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}"
cache_root="${PMK_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$home/.cache}/pictomarker/windows-deps}"
jobs="${JOBS:-2}"

# Raise whenever the build steps below change: a stale build is never reused.
recipe_revision=1

installed_source() {  # binary package -> "source version"
  dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1"
}

# shellcheck source=lib/debian-sources.sh
. "$here/lib/debian-sources.sh"
debian_sources_init "$cache_root"

declare -A tree version
for package in zlib1g libpng16-16 libjpeg62-turbo libtiff6 libexpat1 libexiv2-27 \
               libfreeimage3 libqt6core6; do
  read -r name wanted < <(installed_source "$package")
  read -r version[$name] tree[$name] < <(fetch_source_near "$name" "$wanted")
done

compiler="$(x86_64-w64-mingw32-g++-posix --version | head -n 1)"
versions=""
for name in zlib libpng1.6 libjpeg-turbo tiff expat exiv2 freeimage qt6-base; do
  versions+="$name ${version[$name]} "
done
build_id="$(echo "$recipe_revision $versions $compiler $(cat "$toolchain")" | sha256sum | cut -c1-12)"
prefix="$cache_root/qt6-base-${version[qt6-base]#*:}_exiv2-${version[exiv2]}_$build_id"
stamp="$prefix/.built"

if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache_root/build-$build_id"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
say "building into $prefix"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cross_cmake() {  # source build [cmake options...]: configure, build, install
  local source="$1" build="$2"
  shift 2
  nice cmake -S "$source" -B "$build" -G Ninja -Wno-dev "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DPMK_WINDOWS_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "$@" >&2
  nice cmake --build "$build" -j"$jobs" >&2
  cmake --install "$build" >&2
}

# zlib: only its static library, under the name the finders look for.
say "zlib ${version[zlib]}"
nice cmake -S "${tree[zlib]}" -B "$work/zlib" -G Ninja -Wno-dev "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >&2
nice cmake --build "$work/zlib" -j"$jobs" --target zlibstatic >&2
cp "$work/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
cp "${tree[zlib]}/zlib.h" "$work/zlib/zconf.h" "$prefix/include/"

say "libpng ${version[libpng1.6]}"
cross_cmake "${tree[libpng1.6]}" "$work/libpng" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF

say "libjpeg-turbo ${version[libjpeg-turbo]}"
cross_cmake "${tree[libjpeg-turbo]}" "$work/libjpeg" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
  -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm

# libtiff: the codecs of its own and those of the libraries above.
say "libtiff ${version[tiff]}"
cross_cmake "${tree[tiff]}" "$work/libtiff" \
  -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
  -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
  -Dlerc=OFF -Dlibdeflate=OFF

say "expat ${version[expat]}"
cross_cmake "${tree[expat]}/expat" "$work/expat" \
  -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
  -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF

# Exiv2: Debian's options where they concern pictures; file names as UTF-16
# (the wide-path calls); no command, samples or translations.
say "Exiv2 ${version[exiv2]}"
cross_cmake "${tree[exiv2]}" "$work/exiv2" \
  -DCMAKE_CXX_FLAGS="-DXML_STATIC" -DEXIV2_ENABLE_WIN_UNICODE=ON \
  -DEXIV2_ENABLE_BMFF=ON -DEXIV2_ENABLE_NLS=OFF -DEXIV2_ENABLE_VIDEO=OFF \
  -DEXIV2_ENABLE_WEBREADY=OFF -DEXIV2_ENABLE_DYNAMIC_RUNTIME=OFF \
  -DEXIV2_BUILD_SAMPLES=OFF -DEXIV2_BUILD_EXIV2_COMMAND=OFF \
  -DEXIV2_BUILD_UNIT_TESTS=OFF -DEXIV2_BUILD_DOC=OFF

# FreeImage: its core, metadata and toolkit with four plug-ins. The others
# keep their place in the format list as names without procedures.
say "FreeImage ${version[freeimage]}"
freeimage="$work/freeimage"
mkdir -p "$freeimage"
{
  echo '// Formats this build does not read or write: registered by name only.'
  echo '#include "FreeImage.h"'
  echo '#include "Plugin.h"'
  for format in CUT DDS EXR G3 GIF HDR ICO IFF J2K JNG JP2 JXR KOALA MNG PCD PCX PFM \
                PICT PNM PSD RAS RAW SGI TARGA WBMP WEBP XBM XPM; do
    echo "static const char *Format$format() { return \"$format\"; }"
    echo "void DLL_CALLCONV Init$format(Plugin *plugin, int) { plugin->format_proc = Format$format; }"
  done
} >"$freeimage/unbuilt_plugins.cpp"
cat >"$freeimage/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.16)
project(FreeImage C CXX)
set(tree "${tree[freeimage]}")
file(GLOB sources \${tree}/Source/FreeImage/*.cpp \${tree}/Source/FreeImage/*.c
                  \${tree}/Source/Metadata/*.cpp \${tree}/Source/FreeImageToolkit/*.cpp)
list(FILTER sources EXCLUDE REGEX "/Plugin[A-Z0-9]+\\\\.cpp$|/(J2KHelper|MNGHelper|PSDParser)\\\\.cpp$")
list(APPEND sources \${tree}/Source/FreeImage/PluginBMP.cpp \${tree}/Source/FreeImage/PluginJPEG.cpp
                    \${tree}/Source/FreeImage/PluginPNG.cpp \${tree}/Source/FreeImage/PluginTIFF.cpp
                    \${CMAKE_CURRENT_SOURCE_DIR}/unbuilt_plugins.cpp)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
add_library(freeimage STATIC \${sources})
target_include_directories(freeimage PRIVATE \${tree}/Source \${tree}/Source/Metadata \${tree}/Source/FreeImageToolkit)
target_compile_definitions(freeimage PRIVATE FREEIMAGE_LIB OPJ_STATIC LIBRAW_NODLL DISABLE_PERF_MEASUREMENT)
target_compile_options(freeimage PRIVATE -w)
target_link_libraries(freeimage PRIVATE TIFF::TIFF PNG::PNG JPEG::JPEG ZLIB::ZLIB)
install(TARGETS freeimage ARCHIVE DESTINATION lib)
install(FILES \${tree}/Source/FreeImage.h DESTINATION include)
EOF
cross_cmake "$freeimage" "$work/freeimage-build"

# Qt 6: static, so that the photo editor's own Qt in the same process never
# meets ours; the host tools are Debian's (same version).
say "Qt ${version[qt6-base]}"
cross_cmake "${tree[qt6-base]}" "$work/qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DQT_GENERATE_SBOM=OFF -DFEATURE_pkg_config=OFF \
  -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_network=OFF -DFEATURE_sql=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_imageformatplugin=OFF \
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_png=ON -DFEATURE_system_png=ON \
  -DFEATURE_system_zlib=ON -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_fontconfig=OFF \
  -DFEATURE_sql_sqlite=OFF -DFEATURE_system_doubleconversion=OFF

rm -rf "$work"
touch "$stamp"
say "done"
echo "$prefix"
