#!/usr/bin/env bash
# Installs the build and test dependencies on Debian 12. Idempotent: packages
# already present are left alone, and apt is not touched when nothing is missing.
#   install-deps.sh        everything every target needs (make test, CI)
#   install-deps.sh demo   only what building and running PMKCmd needs (make demo)
set -euo pipefail

# PMKCmd alone: the compiler, CMake and the picture libraries it links.
demo_packages=(
  build-essential cmake ninja-build pkg-config
  libfreeimage-dev libtiff-dev libexiv2-dev
)

# Everything: the demo's packages and the rest.
packages=(
  "${demo_packages[@]}"
  ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  libimage-exiftool-perl valgrind
  imagemagick
  hyperfine
  xvfb openbox xdotool x11-utils
  libpng-dev
  parallel
  dpkg-dev file man-db
  clang libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev
  gimp libgimp2.0-dev
)

# The Windows x64 build (scripts/build-windows-deps.sh, make windows): the
# compiler, nasm for libjpeg-turbo's vector code, Imath's half-float header
# for FreeImage's TIFF plug-in, NSIS for the installer; Wine runs the tests.
packages+=(g++-mingw-w64-x86-64-posix nasm libimath-dev nsis wine64)

# The fuzz build compiles FreeImage and Exiv2 from Debian's sources
# (scripts/build-instrumented-deps.sh): what their builds link against.
packages+=(
  libjpeg-dev libwebp-dev libjxr-dev libopenexr-dev libopenjp2-7-dev libraw-dev
  zlib1g-dev libexpat1-dev gettext
)

# The package check runs Debian's own checker on the .deb.
packages+=(lintian)

case "${1:-all}" in
  all) ;;
  demo) packages=("${demo_packages[@]}") ;;
  *)
    echo "usage: install-deps.sh [all|demo]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
