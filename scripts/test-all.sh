#!/usr/bin/env bash
# Sets up, builds and runs every test: the release build's unit and
# end-to-end tests (the desktop ones under Xvfb), the whole suite again under
# AddressSanitizer and UBSan, and a short fuzzing pass.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j "$jobs"

if [ -x scripts/fuzz-smoke.sh ]; then
  bash scripts/fuzz-smoke.sh
fi
