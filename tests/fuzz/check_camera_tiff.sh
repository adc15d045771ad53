#!/usr/bin/env bash
# A camera TIFF (EXIF directory plus colour profile) made FreeImage's TIFF
# reader copy the profile from freed memory on every load. Under the fuzz
# build (FreeImage built with AddressSanitizer) this checks both sides:
# decoded as it comes, as the readers did before they removed the metadata
# blocks, the file is reported as a heap use after free inside FreeImage;
# through both readers' real path it runs clean.
#   check_camera_tiff.sh BUILD_FOLDER
set -uo pipefail
fuzz="$1/tests/fuzz"
input="$(dirname "$0")/corpus/fuzz_image_reader/camera_exif_icc.tif"

for target in fuzz_image_reader fuzz_plugin_reader; do
  if ! "$fuzz/$target" "$input" >/dev/null 2>"$1/$target-camera-tiff.log"; then
    echo "check_camera_tiff: $target fails on $input:"
    tail -n 40 "$1/$target-camera-tiff.log"
    exit 1
  fi
done

# The report must name FreeImage's own source: the library is instrumented.
log="$1/unguarded-camera-tiff.log"
"$fuzz/fuzz_unguarded_decode" "$input" >/dev/null 2>"$log"
if ! grep -q 'AddressSanitizer: heap-use-after-free' "$log" || ! grep -q 'PluginTIFF.cpp' "$log"; then
  echo "check_camera_tiff: no use after free in PluginTIFF.cpp reported without the" \
    "metadata removal: is FreeImage built with AddressSanitizer?"
  tail -n 20 "$log"
  exit 1
fi
echo "check_camera_tiff: without the metadata removal, ASan reports a heap use after free in" \
  "$(grep -m1 -o 'PluginTIFF.cpp:[0-9]*' "$log"); both readers run clean"
