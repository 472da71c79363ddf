#!/usr/bin/env bash
# End-to-end: velmira-cli on real multi-frame sequences on disk, the outputs
# read back with ImageMagick and od.
#   cli_e2e.sh PATH/velmira-cli PATH/velmira-make-sample
set -u
cli=$(realpath "$1")
make_sample=$(realpath "$2")
work=$(mktemp -d /tmp/velmira-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
pass() { passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { if [ "$1" == "$2" ]; then pass; else fail "$3: expected '$2', got '$1'"; fi; }

byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
bytes_at() { od -An -tx1 -j "$2" -N "$3" "$1" | tr -d ' \n'; }

# A 256 x 212 sequence with a scene change, and a small one at 64 x 40.
mkdir -p "$work/big" "$work/small" "$work/out" "$work/out1"
"$make_sample" "$work/big/run" 0 11 256 212 5 6 || exit 1
"$make_sample" "$work/small/clip" 3 6 64 40 8 0 || exit 1

# --- a whole job -----------------------------------------------------------
"$cli" "$work/big/run0000.bmp" --end 11 --offset 40 --output-dir "$work/out" \
  2>"$work/stderr"
expect_eq "$?" 0 "exit status of a finished job"
expect_eq "$(cat "$work/stderr")" "終了しました" "the job's one message"
expect_eq "$(ls "$work/out" | wc -l)" 24 "two files per frame"
expect_eq "$(ls -A "$work/out" | grep -c '^\.')" 0 "no temporary file remains"

for k in $(seq 40 51); do
  s05="$work/out/00$k.S05"
  tes="$work/out/TES_00$k.bmp"
  expect_eq "$(stat -c %s "$s05")" 30375 "size of $s05"
  expect_eq "$(bytes_at "$s05" 0 7)" "fe00009f760000" "BSAVE header of $s05"
  expect_eq "$(bytes_at "$s05" 30343 2)" "0000" "slot 0 is black in $s05"
  expect_eq "$(od -An -tu1 -j 27143 -N 3200 -v "$s05" | tr -s ' \n' '\n' | sort -u | grep -v '^$')" 0 \
    "the gap between bitmap and palette is zero in $s05"
  info=$(identify -regard-warnings -format '%m %w %h' "$tes" 2>&1)
  expect_eq "$?$info" "0BMP3 512 424" "ImageMagick reads $tes"

  # Every colour of the preview is one of the image's palette colours.
  palette=""
  for s in $(seq 0 15); do
    first=$(byte_at "$s05" $((30343 + 2 * s)))
    green=$(byte_at "$s05" $((30344 + 2 * s)))
    r=$(((first >> 4) * 255 / 7)); b=$(((first & 7) * 255 / 7)); g=$((green * 255 / 7))
    palette+="$r,$g,$b"$'\n'
  done
  colours=$(convert "$tes" -depth 8 -format '%c' histogram:info:- |
            sed -E 's/.*\(([0-9]+),([0-9]+),([0-9]+)\).*/\1,\2,\3/' | sort -u)
  stray=$(comm -23 <(echo "$colours") <(echo "$palette" | grep -v '^$' | sort -u))
  expect_eq "$stray" "" "preview colours of $tes come from the palette"
done

# The preview doubles every pixel: the top-left 2 x 2 block is one colour.
block=$(convert "$work/out/TES_0040.bmp" -crop 2x2+0+0 -depth 8 -format '%k' info:)
expect_eq "$block" 1 "a 2 x 2 block per picture pixel"

# One frame at a time gives the same bytes as all cores.
"$cli" "$work/big/run0000.bmp" --end 11 --offset 40 --output-dir "$work/out1" --jobs 1 2>/dev/null
expect_eq "$(cd "$work/out" && md5sum * | md5sum)" "$(cd "$work/out1" && md5sum * | md5sum)" \
  "--jobs 1 writes the same bytes"

# --- a smaller picture, a relative SOURCE, the current directory ------------
(cd "$work/small" && "$cli" clip0000.bmp --start 3 --end 6 --mode b --threshold 0 \
   --intermediate off --quiet 2>"$work/stderr")
expect_eq "$?" 0 "relative SOURCE in the current directory"
expect_eq "$(ls "$work/small" | grep -c -E '^(000[0-3]\.S05|TES_000[0-3]\.bmp)$')" 8 \
  "outputs numbered from 0 in the current directory"
expect_eq "$(identify -format '%w %h' "$work/small/TES_0000.bmp")" "128 80" "preview of 64 x 40"
expect_eq "$(stat -c %s "$work/small/0003.S05")" 30375 "small pictures fill a whole screen file"
# Right of the picture (bytes 32..127 of line 0) and below it, slot 0.
expect_eq "$(od -An -tu1 -j $((7 + 32)) -N 96 -v "$work/small/0000.S05" | tr -s ' \n' '\n' | sort -u | grep -v '^$')" 0 \
  "slot 0 to the right of a small picture"

# --- refusals ----------------------------------------------------------------
run() { "$cli" "$@" 2>"$work/stderr"; echo "$?"; }
expect_eq "$(run "$work/big/run0000.bmp" --start 5 --end 3 --output-dir "$work/out")" 1 "bad range"
expect_eq "$(cat "$work/stderr")" "開始・終了番号を正しく指定して下さい" "bad range message"
expect_eq "$(run "$work/big/run0000.bmp" --end 20 --output-dir "$work/out")" 1 "missing frame"
expect_eq "$(cat "$work/stderr")" "ファイルが見つかりません" "missing frame message"
expect_eq "$(run "$work/big/run0000.png" --output-dir "$work/out")" 1 "not a bmp"
expect_eq "$(cat "$work/stderr")" "ＢＭＰファイルを指定して下さい" "not a bmp message"
expect_eq "$(run "$work/big/run0000.bmp" --output-dir "$work/nowhere")" 1 "missing output folder"
expect_eq "$(cat "$work/stderr")" "ファイルを作成できませんでした" "missing output folder message"
expect_eq "$(run "$work/big/run0000.bmp" --start 12abc)" 2 "a usage error"
grep -q -- "--start" "$work/stderr" && pass || fail "the usage error names --start"
expect_eq "$(run --help | tail -1)" 0 "--help"
expect_eq "$("$cli" --version)" "velmira-cli 1.0.0.1" "--version"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
