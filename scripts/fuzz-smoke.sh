#!/usr/bin/env bash
# A short fuzzing pass: builds the libFuzzer targets with clang (ASan and
# UBSan), then runs each one from its seed corpus for FUZZ_SECONDS seconds.
# The seeds in fuzz/corpus stay as they are: new inputs go to a working copy
# in the build folder. A finding stops the script, its input kept as
# BUILD/artifacts/TARGET-crash-*.
#   scripts/fuzz-smoke.sh                  # build/fuzz, 25 s per target
#   FUZZ_SECONDS=300 FUZZ_BUILD_DIR=build/fuzz-long scripts/fuzz-smoke.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build/fuzz}
seconds=${FUZZ_SECONDS:-25}
targets=(frame_reader frame_pipeline)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVELMIRA_FUZZ=ON -DVELMIRA_BUILD_TESTS=OFF \
  -DVELMIRA_BUILD_BENCH=OFF -DVELMIRA_BUILD_DESKTOP=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  rm -rf "$work"
  mkdir -p "$work"
  cp fuzz/corpus/"$t"/* "$work"/
  echo "== fuzz_$t: ${seconds}s from $(ls fuzz/corpus/"$t" | wc -l) seeds"
  log="$build/artifacts/$t.log"
  if ! "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=160000 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$t found a fault; its input is in $build/artifacts/" >&2
    exit 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$log" || true
done
