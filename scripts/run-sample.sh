#!/usr/bin/env bash
# Sets up, builds, and converts the bundled sample animation: 48 frames of
# 256 x 212 written by velmira-make-sample into sample/frames, converted into
# sample/out (NNNN.S05 and TES_NNNN.bmp).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/bin
mkdir -p sample/frames sample/out
"$bin/velmira-make-sample" sample/frames/run 0 47
"$bin/velmira-cli" sample/frames/run0000.bmp --start 0 --end 47 --output-dir sample/out
echo "Converted 48 frames: SCREEN 5 images and previews are in $(pwd)/sample/out"
