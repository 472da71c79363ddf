#!/usr/bin/env bash
# Converts real generated sequences with velmira-cli and with the numpy
# oracle, in every mode, and compares every output byte.
#   compare_with_oracle.sh PATH/velmira-cli PATH/velmira-make-sample
set -u
cli=$(realpath "$1")
make_sample=$(realpath "$2")
oracle="$(dirname "$(realpath "$0")")/oracle.py"
if ! /usr/bin/python3 -c "import numpy" 2>/dev/null; then
  echo "python3-numpy is not installed"
  exit 1
fi
work=$(mktemp -d /tmp/velmira-oracle-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/mid" "$work/full"
"$make_sample" "$work/mid/run" 0 7 96 64 11 4
"$make_sample" "$work/full/run" 0 2 256 212 3 0
failures=0
passes=0
# sequence, end, intermediate, mode, threshold
while read -r seq end inter mode k; do
  label="$seq mode $mode threshold $k intermediate $inter"
  a="$work/cli-$seq-$mode-$k-$inter"; b="$work/oracle-$seq-$mode-$k-$inter"
  mkdir -p "$a" "$b"
  on=$([ "$inter" = 1 ] && echo on || echo off)
  letter=$(echo "ABCD" | cut -c$((mode + 1)))
  "$cli" "$work/$seq/run0000.bmp" --end "$end" --offset 5 --intermediate "$on" \
    --mode "$letter" --threshold "$k" --output-dir "$a" --quiet 2>/dev/null
  /usr/bin/python3 "$oracle" "$work/$seq/run0000.bmp" 0 "$end" 5 "$inter" "$mode" "$k" "$b"
  if diff -r "$a" "$b" >/dev/null; then
    passes=$((passes + 1))
  else
    echo "FAIL: $label differs:"; diff -rq "$a" "$b" | head -5
    failures=$((failures + 1))
  fi
done <<'CASES'
mid 7 1 0 1
mid 7 1 1 2
mid 7 0 2 4
mid 7 1 3 0
mid 7 1 0 4
full 2 1 0 1
full 2 1 3 2
CASES
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
