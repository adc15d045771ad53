#!/usr/bin/env bash
# Cross-builds the libraries the Windows x64 programs link, statically, with
# Debian's MinGW-w64, from Debian's source packages with Debian's patches:
# zlib, libpng, libjpeg-turbo, libtiff, expat, Exiv2, FreeImage and Qt 6.
#
# Only what the programs use is built. FreeImage gets its BMP, JPEG, PNG and
# TIFF plug-ins (the others register as formats it can neither read nor
# write, so the format numbers stay FreeImage's); Qt gets Core, Gui, Widgets
# and the windows platform plug-in, optimised for size. Less to build, less
# to ship, and less to attack.
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
# The libraries are cached whole, so a compiler cache (which the Makefile
# hands to every CMake configure) could only add its own cost here.
export CCACHE_DISABLE=true

say() { echo "build-windows-deps: $*" >&2; }

here="$(cd "$(dirname "$0")" && pwd)"
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
home="${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}"
cache_root="${PMK_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$home/.cache}/pictomarker/windows-deps}"
jobs="${JOBS:-2}"

# Raise whenever the build steps below change: a stale build is never reused.
recipe_revision=3

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

# The licence texts travel with every package that bundles the libraries
# (the installer's notices): each upstream's own files and Debian's copyright.
copy_licences() {  # name files...
  local name="$1" file
  shift
  mkdir -p "$prefix/share/licenses/$name"
  cp "${tree[$name]}/debian/copyright" "$prefix/share/licenses/$name/debian-copyright"
  for file in "$@"; do
    mkdir -p "$(dirname "$prefix/share/licenses/$name/$file")"
    cp "${tree[$name]}/$file" "$prefix/share/licenses/$name/$file"
  done
}
collect_licences() {
  rm -rf "$prefix/share/licenses"
  copy_licences zlib LICENSE
  copy_licences libpng1.6 LICENSE
  copy_licences libjpeg-turbo LICENSE.md README.ijg
  copy_licences tiff LICENSE.md
  copy_licences expat COPYING
  copy_licences exiv2 COPYING
  copy_licences freeimage license-fi.txt license-gplv2.txt license-gplv3.txt
  # Qt's own, and those of the third-party code built into Core, Gui and Widgets.
  copy_licences qt6-base LICENSES/LGPL-3.0-only.txt LICENSES/GPL-2.0-only.txt \
    LICENSES/GPL-3.0-only.txt LICENSES/Qt-GPL-exception-1.0.txt \
    src/3rdparty/double-conversion/LICENSE src/3rdparty/harfbuzz-ng/COPYING \
    src/3rdparty/pcre2/LICENCE src/3rdparty/pcre2/LICENCE-SLJIT \
    src/3rdparty/md4c/LICENSE.md src/3rdparty/easing/LICENSE src/3rdparty/icc/LICENSE.txt \
    src/3rdparty/rfc6234/LICENSE src/3rdparty/sha3/CC0_LICENSE \
    src/3rdparty/sha3/BRG_ENDIAN_LICENSE src/3rdparty/blake2/COPYING \
    src/3rdparty/tinycbor/LICENSE
}

if [ -f "$stamp" ]; then
  collect_licences
  echo "$prefix"
  exit 0
fi

work="$cache_root/build-$build_id"
rm -rf "$work" "$prefix" "$prefix.logs"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
say "building into $prefix"

cross_configure() {  # source build [cmake options...]
  local source="$1" build="$2"
  shift 2
  nice cmake -S "$source" -B "$build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DPMK_WINDOWS_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "$@" >&2
}

# Each build's compile log (ninja's, with the time of every step) is kept
# beside the prefix: where the time goes is what decides what to slim next.
build_and_install() {  # build
  nice cmake --build "$1" -j"$jobs" >&2
  cmake --install "$1" >&2
  mkdir -p "$prefix.logs"
  cp "$1/.ninja_log" "$prefix.logs/$(basename "$1").ninja_log"
}

cross_cmake() {  # source build [cmake options...]
  cross_configure "$@"
  build_and_install "$2"
}

# zlib: only its static library, under the name the finders look for.
say "zlib ${version[zlib]}"
nice cmake -S "${tree[zlib]}" -B "$work/zlib" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >&2
nice cmake --build "$work/zlib" -j"$jobs" --target zlibstatic >&2
cp "$work/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
cp "${tree[zlib]}/zlib.h" "$work/zlib/zconf.h" "$prefix/include/"

say "libpng ${version[libpng1.6]}"
cross_cmake "${tree[libpng1.6]}" "$work/libpng" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF

# (Its install rules take a relative library folder as relative to the
# working folder.)
say "libjpeg-turbo ${version[libjpeg-turbo]}"
cross_cmake "${tree[libjpeg-turbo]}" "$work/libjpeg" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
  -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm -DCMAKE_INSTALL_LIBDIR="$prefix/lib"

# libtiff: the codecs of its own and those of the libraries above.
say "libtiff ${version[tiff]}"
cross_cmake "${tree[tiff]}" "$work/libtiff" \
  -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
  -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
  -Dlerc=OFF -Dlibdeflate=OFF

# expat: Debian's security patches test XML_DTD as autotools defines it (1);
# the CMake header defines it empty.
say "expat ${version[expat]}"
cross_configure "${tree[expat]}/expat" "$work/expat" \
  -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
  -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF
sed -i -E 's/^#define (XML_DTD|XML_NS)$/#define \1 1/' "$work/expat/expat_config.h"
build_and_install "$work/expat"

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
# keep their place in the format list as a name and FreeImage's extensions
# for it (its look-ups by file name walk every format's list), without
# procedures.
say "FreeImage ${version[freeimage]}"
freeimage="$work/freeimage"
mkdir -p "$freeimage"
{
  echo '// Formats this build does not read or write: registered by name only.'
  echo '#include "FreeImage.h"'
  echo '#include "Plugin.h"'
  while read -r format extensions; do
    echo "static const char *Format$format() { return \"$format\"; }"
    echo "static const char *Extension$format() { return \"$extensions\"; }"
    echo "void DLL_CALLCONV Init$format(Plugin *plugin, int) {"
    echo "  plugin->format_proc = Format$format;"
    echo "  plugin->extension_proc = Extension$format;"
    echo "}"
  done <<'FORMATS'
CUT cut
DDS dds
EXR exr
G3 g3
GIF gif
HDR hdr
ICO ico
IFF iff,lbm
J2K j2k,j2c
JNG jng
JP2 jp2
JXR jxr,wdp,hdp
KOALA koa
MNG mng
PCD pcd
PCX pcx
PFM pfm
PICT pct,pict,pic
PNM pbm,pgm,ppm
PSD psd,psb
RAS ras
RAW 3fr,arw,bay,bmq,cap,cine,cr2,crw,cs1,dc2,dcr,drf,dsc,dng,erf,fff,ia,iiq,k25,kc2,kdc,mdc,mef,mos,mrw,nef,nrw,orf,pef,ptx,pxn,qtk,raf,raw,rdc,rw2,rwl,rwz,sr2,srf,srw,sti,x3f
SGI sgi,rgb,rgba,bw
TARGA tga,targa
WBMP wap,wbmp,wbm
WEBP webp
XBM xbm
XPM xpm
FORMATS
} >"$freeimage/unbuilt_plugins.cpp"
# The TIFF plug-in converts half floats with Imath's header (Debian's, as
# the Linux FreeImage builds with), computing instead of looking up, so that
# no Imath library is needed.
mkdir -p "$freeimage/include/Imath"
cp /usr/include/Imath/{half.h,ImathExport.h,ImathNamespace.h,ImathPlatform.h} "$freeimage/include/Imath/"
sed '/#define IMATH_HALF_USE_LOOKUP_TABLE/d' /usr/include/Imath/ImathConfig.h \
  >"$freeimage/include/Imath/ImathConfig.h"
cat >"$freeimage/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.16)
project(FreeImage C CXX)
set(tree "${tree[freeimage]}")
file(GLOB sources \${tree}/Source/FreeImage/*.cpp \${tree}/Source/FreeImage/*.c
                  \${tree}/Source/Metadata/*.cpp \${tree}/Source/FreeImageToolkit/*.cpp)
list(FILTER sources EXCLUDE REGEX "/(Plugin[A-Za-z0-9]+|J2KHelper|MNGHelper)[.]cpp$")
list(APPEND sources \${tree}/Source/FreeImage/PluginBMP.cpp \${tree}/Source/FreeImage/PluginJPEG.cpp
                    \${tree}/Source/FreeImage/PluginPNG.cpp \${tree}/Source/FreeImage/PluginTIFF.cpp
                    \${CMAKE_CURRENT_SOURCE_DIR}/unbuilt_plugins.cpp)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
add_library(freeimage STATIC \${sources})
target_include_directories(freeimage PRIVATE \${tree}/Source \${tree}/Source/Metadata \${tree}/Source/FreeImageToolkit
                           \${CMAKE_CURRENT_SOURCE_DIR}/include)
target_compile_definitions(freeimage PRIVATE FREEIMAGE_LIB OPJ_STATIC LIBRAW_NODLL DISABLE_PERF_MEASUREMENT)
target_compile_options(freeimage PRIVATE -w)
target_link_libraries(freeimage PRIVATE TIFF::TIFF PNG::PNG JPEG::JPEG ZLIB::ZLIB)
install(TARGETS freeimage ARCHIVE DESTINATION lib)
install(FILES \${tree}/Source/FreeImage.h DESTINATION include)
EOF
cross_cmake "$freeimage" "$work/freeimage-build"

# nlohmann-json is headers only: Debian's own, in a folder of their own.
mkdir -p "$prefix/include/json"
cp -r /usr/include/nlohmann "$prefix/include/json/"

# Qt 6: static, so that the photo editor's own Qt in the same process never
# meets ours; the host tools are Debian's (same version). Without the modules
# and widgets the plug-in never shows: on two cores Qt is most of the time
# this script takes. (XPM stays: Qt 6.4 builds drag and drop only with it,
# and its widgets do not compile without drag and drop. Tablet events go:
# Debian's source leaves out the Wintab header their Windows code needs.
# OpenGL stays: the windows platform plug-in does not compile without it.
# DirectWrite 3 goes with Direct2D: its font database is compiled only with
# Direct2D, but the windows plug-in calls it whenever DirectWrite 3 is on.
# The Vista style goes: its plug-in needs the input dialog, and the plug-in's
# windows draw with Fusion anyway. FreeType goes, and with it the offscreen
# platform plug-in, which is built only with FreeType: on Windows the windows
# plug-in draws text with the system's own fonts, and Wine's null display
# driver gives the tests a desktop. Size rather than speed: the windows are
# dialogs, and every step compiles faster.)
say "Qt ${version[qt6-base]}"
cross_cmake "${tree[qt6-base]}" "$work/qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DQT_GENERATE_SBOM=OFF -DFEATURE_pkg_config=OFF -DFEATURE_optimize_size=ON \
  -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_network=OFF -DFEATURE_sql=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF -DFEATURE_imageformatplugin=OFF \
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_png=ON -DFEATURE_system_png=ON \
  -DFEATURE_system_zlib=ON -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_freetype=OFF -DFEATURE_fontconfig=OFF \
  -DFEATURE_sql_sqlite=OFF -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_pdf=OFF -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF \
  -DFEATURE_textmarkdownwriter=OFF -DFEATURE_movie=OFF -DFEATURE_sessionmanager=OFF \
  -DFEATURE_imageformat_ppm=OFF -DFEATURE_imageformat_xbm=OFF \
  -DFEATURE_undocommand=OFF -DFEATURE_undostack=OFF -DFEATURE_undogroup=OFF \
  -DFEATURE_undoview=OFF -DFEATURE_graphicsview=OFF -DFEATURE_graphicseffect=OFF \
  -DFEATURE_mdiarea=OFF -DFEATURE_dockwidget=OFF -DFEATURE_calendarwidget=OFF \
  -DFEATURE_datetimeedit=OFF -DFEATURE_lcdnumber=OFF -DFEATURE_fontcombobox=OFF \
  -DFEATURE_fontdialog=OFF -DFEATURE_colordialog=OFF -DFEATURE_inputdialog=OFF \
  -DFEATURE_errormessage=OFF -DFEATURE_wizard=OFF -DFEATURE_syntaxhighlighter=OFF \
  -DFEATURE_keysequenceedit=OFF -DFEATURE_commandlinkbutton=OFF -DFEATURE_columnview=OFF \
  -DFEATURE_splashscreen=OFF -DFEATURE_dial=OFF -DFEATURE_toolbox=OFF -DFEATURE_scroller=OFF \
  -DFEATURE_tablewidget=OFF -DFEATURE_treewidget=OFF \
  -DFEATURE_listwidget=OFF -DFEATURE_textbrowser=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_style_windowsvista=OFF

collect_licences
rm -rf "$work"
touch "$stamp"
say "done"
echo "$prefix"
