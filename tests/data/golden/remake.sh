#!/bin/sh
# Rewrites the recorded engine decisions that tests/engine/golden_test.cpp
# holds the engine to. Run it only when a change of decisions is intended:
#   tests/data/golden/remake.sh build/tools/inspect/PMKInspect
set -eu
inspect=${1:?usage: remake.sh PATH/TO/PMKInspect}
here=$(cd "$(dirname "$0")" && pwd)
data=$(dirname "$here")
# Lossless inputs only, so that the records do not depend on a JPEG decoder.
for photo in kodim13.png kodim23.png kodim13_q92.png rocket_night.png tulips_rgba.png cliff_grey.png kodim01_crop_q90.png; do
  "$inspect" golden "$data/$photo" > "$here/$photo.json"
done
for name in blocks checks mosaic flat; do
  "$inspect" golden --synthetic "$name" > "$here/synthetic_$name.json"
done
