#!/usr/bin/env bash
# Whole jobs end to end, all file I/O included: velmira-cli against the
# literal pipeline (velmira-reference-job, one frame at a time, every stage
# as written), on one generated sequence, timed in this one run.
#
#   bench/run-job-bench.sh BUILD_DIR [FRAMES] [SCENE_LENGTH]
#
# Defaults: 300 frames of 256 x 212, a scene change every 120 frames,
# intermediate colours on, mode A, threshold 1. Every run writes into a
# fresh folder, and all
# runs' outputs are compared byte for byte. BEFORE_CLI=path/velmira-cli
# adds a run of an older build (timed only: its bytes are not compared).
set -eu
build=$(realpath "${1:?usage: run-job-bench.sh BUILD_DIR [FRAMES] [SCENE_LENGTH]}")
frames=${2:-300}
scene=${3:-120}
cli=$build/bin/velmira-cli
ref=$build/bin/velmira-reference-job
make=$build/bin/velmira-make-sample
work=$(mktemp -d /tmp/velmira-job-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
last=$((frames - 1))
half=$((frames / 2 - 1))

mkdir -p "$work/src" "$work/still"
"$make" "$work/src/f" 0 "$last" 256 212 7 "$scene"
"$make" "$work/still/s" 0 "$last" 256 212 9 0

now() { date +%s.%N; }
# run NAME COMMAND...: times one job into a fresh folder $work/NAME
declare -A seconds
run() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  local t0 t1
  t0=$(now)
  "$@" >/dev/null 2>"$work/$name.err" || { cat "$work/$name.err"; exit 1; }
  t1=$(now)
  seconds[$name]=$(echo "$t1 - $t0" | bc -l)
}
same() {  # same DIR_A DIR_B
  for f in "$work/$1"/*; do
    cmp -s "$f" "$work/$2/$(basename "$f")" || { echo "DIFFERENT: $2/$(basename "$f")"; exit 1; }
  done
}

run fast "$cli" "$work/src/f0000.bmp" --end "$last" --output-dir "$work/fast" --quiet
run fast1 "$cli" "$work/src/f0000.bmp" --end "$last" --output-dir "$work/fast1" --quiet --jobs 1
run half "$cli" "$work/src/f0000.bmp" --end "$half" --output-dir "$work/half" --quiet
run still0 "$cli" "$work/still/s0000.bmp" --end "$last" --threshold 0 --output-dir "$work/still0" --quiet
run still4 "$cli" "$work/still/s0000.bmp" --end "$last" --threshold 4 --output-dir "$work/still4" --quiet
if [ -n "${BEFORE_CLI:-}" ]; then
  run before "$BEFORE_CLI" "$work/src/f0000.bmp" --end "$last" --output-dir "$work/before" --quiet
fi
run literal "$ref" "$work/src/f0000.bmp" 0 "$last" 0 1 1 "$work/literal"
same literal fast
same literal fast1

fps() { echo "$1 / ${seconds[$2]}" | bc -l; }
printf '\n%d frames of 256 x 212, scene length %d, intermediate on, mode A, threshold 1\n\n' "$frames" "$scene"
printf '%-44s %10s %10s %10s\n' "job" "seconds" "frames/s" "vs literal"
row() {  # row LABEL NAME FRAMES
  printf '%-44s %10.3f %10.1f %9.1fx\n' "$1" "${seconds[$2]}" "$(fps "$3" "$2")" \
    "$(echo "${seconds[literal]} / ${seconds[$2]} * $3 / $frames" | bc -l)"
}
row "literal pipeline, one frame at a time" literal "$frames"
if [ -n "${BEFORE_CLI:-}" ]; then row "before: $BEFORE_CLI" before "$frames"; fi
row "velmira-cli --jobs 1" fast1 "$frames"
row "velmira-cli (one worker per core)" fast "$frames"
row "velmira-cli, first half of the frames" half $((half + 1))
printf '\nlong still scene (every neighbour within reach similar):\n'
row "velmira-cli --threshold 0" still0 "$frames"
row "velmira-cli --threshold 4" still4 "$frames"
printf '%-44s %10.2f\n' "threshold 4 / threshold 0 (time)" \
  "$(echo "${seconds[still4]} / ${seconds[still0]}" | bc -l)"
printf '%-44s %10.2f\n' "whole / first half (time per frame)" \
  "$(echo "${seconds[fast]} / ${seconds[half]} * ($half + 1) / $frames" | bc -l)"
echo "outputs of all three full runs of the sequence are identical"
