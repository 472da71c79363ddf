#!/usr/bin/env bash
# End-to-end tests of the desktop program velmira: the real program on its
# own Xvfb display, driven with xdotool through the keyboard and the mouse,
# on frame files written to disk; outputs compared byte for byte with
# velmira-cli's for the same settings.
#
#   desktop_e2e.sh VELMIRA VELMIRA-CLI VELMIRA-MAKE-SAMPLE VELMIRA-SEND-CLOSE ARTIFACT-DIR
#
# The program reports what it shows (message boxes, the progress window, the
# controls' places and values) to the file named by VELMIRA_TRACE; the
# script waits on that file instead of sleeping. A screenshot of every state
# goes to ARTIFACT-DIR. There is no window manager: the close box is a
# WM_DELETE_WINDOW message sent by velmira-send-close.
set -u

VELMIRA=$(realpath "$1")
CLI=$(realpath "$2")
MAKE_SAMPLE=$(realpath "$3")
SEND_CLOSE=$(realpath "$4")
ARTIFACTS=$(realpath -m "$5")

rm -rf "$ARTIFACTS"
mkdir -p "$ARTIFACTS"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/velmira-desktop.XXXXXX")
XVFB_PID=
APP_PID=
FAILURES=0
CASE=

cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

# ---------------------------------------------------------------- display

start_display() {
  local n
  for n in $(seq 91 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$ARTIFACTS/xvfb-$n.log" 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break   # lost the race for :$n
      sleep 0.05
    done
    kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=
  done
  echo "no free X display" >&2
  exit 1
}

# ---------------------------------------------------------------- helpers

fail() {
  echo "FAIL [$CASE] $*"
  local tag
  tag=FAILED-$CASE-$(date +%s%N)
  shot "$tag"
  [ -f "${TRACE:-}" ] && cp "$TRACE" "$ARTIFACTS/$tag.trace"
  FAILURES=$((FAILURES + 1))
  return 1
}

# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_for() {
  local limit=$(( $(date +%s%N) + $1 * 1000000000 ))
  shift
  until "$@"; do
    [ "$(date +%s%N)" -ge "$limit" ] && return 1
    sleep 0.05
  done
}

has() { grep -qF -- "$1" "$TRACE"; }
count() { grep -cF -- "$1" "$TRACE" || true; }
count_at_least() { [ "$(count "$1")" -ge "$2" ]; }
boxes() { grep -c '^box 0x' "$TRACE" || true; }
boxes_at_least() { [ "$(boxes)" -ge "$1" ]; }
nth_box() { grep '^box 0x' "$TRACE" | sed -n "$1p"; }
shot() { import -window root "$ARTIFACTS/$1.png" 2>/dev/null; }
app_gone() { ! kill -0 "$APP_PID" 2>/dev/null; }
visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
not_visible() { ! visible "$1"; }
# focus_window NAME: gives the keyboard to a window, as a click into it
# would under a window manager.
focus_window() {
  xdotool search --onlyvisible --name "$1" | head -1 | xargs -r xdotool windowfocus --sync
}

# start_app DIR: runs velmira with DIR as its current directory and waits
# until its dialog takes keys.
start_app() {
  TRACE=$1/trace
  : >"$TRACE"
  (cd "$1" && VELMIRA_TRACE="$TRACE" exec "$VELMIRA" >"$1/stderr" 2>&1) &
  APP_PID=$!
  wait_for 30 has ready || { fail "the dialog did not come up"; return 1; }
}

# stop_app: ends a program a failed case left behind. (A termination
# request would wait for a running job and its message box.)
stop_app() {
  if [ -n "$APP_PID" ] && ! app_gone; then
    kill -KILL "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
  fi
  APP_PID=
}

# wait_exit: waits for the program to end; its exit status goes to
# EXIT_STATUS ("timeout" when it did not end).
wait_exit() {
  EXIT_STATUS=timeout
  wait_for 15 app_gone || return 0
  wait "$APP_PID" 2>/dev/null
  EXIT_STATUS=$?
  APP_PID=
}

rect() { awk -v id="$1" '$1 == "control" && $2 == id { print $3, $4, $5, $6 }' "$TRACE"; }

click_at() { xdotool mousemove "$1" "$2" click 1; }
# click ID: a mouse click in the middle of the control.
click() {
  local x y w h
  read -r x y w h < <(rect "$1")
  click_at $((x + w / 2)) $((y + h / 2))
}
key() { xdotool key --delay 40 "$@"; }
typ() { xdotool type --delay 15 "$1"; }
# set_box ID TEXT: clicks a text box and replaces its text.
set_box() { click "$1"; key ctrl+a; typ "$2"; }

click_cancel() {
  local x y w h
  read -r x y w h < <(grep '^progress cancel' "$TRACE" | tail -1 | cut -d' ' -f3-)
  click_at $((x + w / 2)) $((y + h / 2))
}

# check_box N "FLAGS TEXT": the N-th message box of the run.
check_box() {
  wait_for 60 boxes_at_least "$1" || { fail "no message box $1"; return 1; }
  local got
  got=$(nth_box "$1")
  local expected="box ${2%% *} Velmira ${2#* }"
  [ "$got" = "$expected" ] || { fail "box $1 is '$got', expected '$expected'"; return 1; }
}

# close_box N: Enter on the N-th box's OK button.
close_box() {
  key Return
  wait_for 10 count_at_least "box closed" "$1" || fail "box $1 did not close"
}

# same_outputs DIR-A DIR-B: the same .S05 and TES_ files, byte for byte.
same_outputs() {
  local a b
  a=$(cd "$1" && ls | grep -E '^([0-9]{4}\.S05|TES_[0-9]{4}\.bmp)$' | sort)
  b=$(cd "$2" && ls | grep -E '^([0-9]{4}\.S05|TES_[0-9]{4}\.bmp)$' | sort)
  [ -n "$a" ] || { fail "no outputs in $1"; return 1; }
  [ "$a" = "$b" ] || { fail "different file lists: $(echo $a) vs $(echo $b)"; return 1; }
  local f
  for f in $a; do
    cmp -s "$1/$f" "$2/$f" || { fail "$f differs from velmira-cli's"; return 1; }
  done
}

# partial_outputs DIR FRAMES: the frames written before a stop are complete
# and numbered without a gap from 0; some but not all FRAMES were written.
partial_outputs() {
  local n
  n=$(ls "$1" | grep -cE '^[0-9]{4}\.S05$')
  [ "$n" -ge 1 ] && [ "$n" -lt "$2" ] ||
    { fail "$n of $2 frames written after a stop"; return 1; }
  local i name
  for ((i = 0; i < n; i++)); do
    name=$(printf '%04d' "$i")
    [ "$(stat -c %s "$1/$name.S05" 2>/dev/null)" = 30375 ] &&
      [ "$(stat -c %s "$1/TES_$name.bmp" 2>/dev/null)" = 651318 ] ||
      { fail "frame $name is not complete"; return 1; }
  done
  [ "$(ls "$1" | grep -cE '^TES_[0-9]{4}\.bmp$')" = "$n" ] ||
    fail "previews and images do not pair up"
}

no_outputs() {
  ! ls "$1" | grep -qE '\.S05$|^TES_' || fail "files were written: $(ls "$1")"
}

# start_long_job DIR: the long sequence, all 600 frames, threshold 4.
start_long_job() {
  start_app "$1" || return 1
  typ "$LONG/long0000.bmp"
  set_box 1005 599
  click 1016
  click 1002
  wait_for 60 has "progress text" || { fail "no progress point"; return 1; }
}

run_case() {
  CASE=$1
  local before=$FAILURES
  mkdir -p "$WORK/$CASE"
  "$1" "$WORK/$CASE"
  stop_app
  [ "$FAILURES" = "$before" ] && echo "ok   [$CASE]"
}

# ---------------------------------------------------------------- cases

start_values_and_plain_keys() {
  local dir=$1
  start_app "$dir" || return
  shot 01-start
  grep -qx 'values path= start=0 end=0 offset=0 checked=1008,1009,1014' "$TRACE" ||
    fail "start values: $(grep '^values' "$TRACE")"
  # The focus is in the path box: typing goes there. Enter and Escape are
  # ordinary keys in a text box and do nothing on the buttons and options.
  typ "abc"
  key Return Escape KP_Enter
  typ "def"
  key Tab Return Escape          # on 参照
  key Tab Return Escape KP_Enter # on 変換
  click 1012
  key Return Escape
  shot 02-after-enter-escape
  app_gone && { fail "Enter or Escape ended the program"; return; }
  click 1003
  wait_exit
  [ "$EXIT_STATUS" = 0 ] || fail "終了 ended with status $EXIT_STATUS"
  grep -qx 'values path=abcdef start=0 end=0 offset=0 checked=1008,1012,1014' "$TRACE" ||
    fail "controls after the keys: $(grep '^values' "$TRACE" | tail -1)"
  ! grep -qE '^(box|progress)' "$TRACE" || fail "a key ran a command: $(grep -E '^(box|progress)' "$TRACE")"
  has "end 5100" || fail "終了 did not end the dialog with OK"
}

keyboard_session_matches_cli() {
  local dir=$1
  mkdir -p "$dir/out" "$dir/cli-default" "$dir/cli-options" "$dir/frames"
  "$MAKE_SAMPLE" "$dir/frames/run" 0 11 256 212 11 5 >/dev/null || { fail "no frames"; return; }
  start_app "$dir/out" || return
  # Keyboard only: path, then Tab to the three number boxes, Tab round to
  # 変換 and Space.
  typ "$dir/frames/run0000.bmp"
  key Tab Tab Tab Tab
  typ 2
  key Tab
  typ 9
  key Tab
  typ 5
  key Tab Tab Tab
  shot 03-typed-job
  key space
  check_box 1 "0x00 終了しました" || return
  shot 04-finished
  "$CLI" "$dir/frames/run0000.bmp" --start 2 --end 9 --offset 5 --intermediate on \
    --mode A --threshold 1 --output-dir "$dir/cli-default" --quiet 2>/dev/null
  same_outputs "$dir/out" "$dir/cli-default"
  close_box 1
  # The focus is back on 変換: Space runs the job again.
  key space
  check_box 2 "0x00 終了しました" || return
  close_box 2
  # The options, chosen with the mouse.
  rm -f "$dir/out"/*.S05 "$dir/out"/TES_*
  click 1007
  click 1011
  click 1016
  shot 05-options
  click 1002
  check_box 3 "0x00 終了しました" || return
  "$CLI" "$dir/frames/run0000.bmp" --start 2 --end 9 --offset 5 --intermediate off \
    --mode C --threshold 4 --output-dir "$dir/cli-options" --quiet 2>/dev/null
  same_outputs "$dir/out" "$dir/cli-options"
  close_box 3
  click 1003
  wait_exit; [ "$EXIT_STATUS" = 0 ] || fail "終了 did not end the program"
}

refusals_write_nothing() {
  local dir=$1
  mkdir -p "$dir/out" "$dir/frames"
  "$MAKE_SAMPLE" "$dir/frames/f" 0 4 64 48 3 >/dev/null || { fail "no frames"; return; }
  start_app "$dir/out" || return
  click 1002
  check_box 1 "0x30 ＢＭＰファイルを指定して下さい" || return
  shot 06-refused
  close_box 1
  set_box 1000 "$dir/frames/f0000.bmp"
  set_box 1004 7
  set_box 1005 3
  click 1002
  check_box 2 "0x30 開始・終了番号を正しく指定して下さい" || return
  close_box 2
  # Frames 0 to 4 exist, 5 does not: pass 1 stops before any output.
  set_box 1004 0
  set_box 1005 6
  click 1002
  check_box 3 "0x30 ファイルが見つかりません" || return
  close_box 3
  ! has "progress" || fail "a refused job showed a progress window"
  no_outputs "$dir/out"
  click 1003
  wait_exit; [ "$EXIT_STATUS" = 0 ] || fail "終了 did not end the program"
}

cancel_button_stops_job() {
  local dir=$1
  start_long_job "$dir" || return
  shot 07-progress
  grep -qE '^progress text 進行度[0-9]+\.[0-9]{4}%$' "$TRACE" ||
    fail "progress text: $(grep '^progress text' "$TRACE" | head -1)"
  # Where the main dialog's client area begins: at the screen origin, as
  # there is no window manager to frame it.
  xdotool search --onlyvisible --name '^Dialog$' getwindowgeometry | grep -q 'Position: 0,0 ' ||
    fail "progress window not at 0,0: $(xdotool search --onlyvisible --name '^Dialog$' getwindowgeometry)"
  click_cancel
  check_box 1 "0x00 中止しました" || return
  shot 08-cancelled
  local destroyed box
  destroyed=$(grep -n '^progress destroyed' "$TRACE" | head -1 | cut -d: -f1)
  box=$(grep -n '^box 0x' "$TRACE" | head -1 | cut -d: -f1)
  [ -n "$destroyed" ] && [ "$destroyed" -lt "$box" ] ||
    fail "the progress window outlived the cancel"
  partial_outputs "$dir" 600
  close_box 1
  # A new job runs to its end at once: the cancel request is gone.
  set_box 1005 2
  click 1002
  check_box 2 "0x00 終了しました" || return
  close_box 2
  click 1003
  wait_exit; [ "$EXIT_STATUS" = 0 ] || fail "終了 did not end the program"
}

exit_and_convert_during_job() {
  local dir=$1
  start_long_job "$dir" || return
  # 変換 again: the running job goes on alone.
  click 1002
  local seen
  seen=$(count "progress text")
  wait_for 30 count_at_least "progress text" $((seen + 2)) ||
    { fail "the job stopped pumping after a second 変換"; return; }
  click 1003
  wait_for 10 has "progress destroyed" || { fail "終了 left the progress window"; return; }
  wait_for 5 not_visible '^Dialog$' || fail "the progress window is still on screen"
  check_box 1 "0x00 中止しました" || return
  shot 09-exit-during-job
  [ "$(count "progress created")" = 1 ] || fail "a second 変換 started a job"
  [ "$(boxes)" = 1 ] || fail "more than one message box"
  partial_outputs "$dir" 600
  close_box 1
  app_gone && { fail "終了 during a job ended the program"; return; }
  ! has "end " || fail "the dialog ended after 終了 during a job"
  click 1003
  wait_exit; [ "$EXIT_STATUS" = 0 ] || fail "a second 終了 did not end the program"
}

close_box_during_job() {
  local dir=$1
  start_long_job "$dir" || return
  local window
  window=$(xdotool search --onlyvisible --name '^Velmira$' | head -1)
  [ -n "$window" ] || { fail "no main window"; return; }
  "$SEND_CLOSE" "$window"
  check_box 1 "0x00 中止しました" || return
  shot 10-closed-during-job
  has "progress destroyed" || fail "the close left the progress window"
  # The program ends only once the job's message has been closed.
  app_gone && { fail "the program ended before its message was closed"; return; }
  partial_outputs "$dir" 600
  close_box 1
  wait_exit; [ "$EXIT_STATUS" = 0 ] || fail "the program did not end after the close"
  has "end 5101" || fail "the close did not end the dialog with Cancel"
}

progress_close_box_cancels() {
  local dir=$1
  start_long_job "$dir" || return
  local window
  window=$(xdotool search --onlyvisible --name '^Dialog$' | head -1)
  [ -n "$window" ] || { fail "no progress window on screen"; return; }
  "$SEND_CLOSE" "$window"
  check_box 1 "0x00 中止しました" || return
  partial_outputs "$dir" 600
  close_box 1
  app_gone && { fail "the program ended"; return; }
  # Closing the dialog when no job runs ends the program.
  "$SEND_CLOSE" "$(xdotool search --onlyvisible --name '^Velmira$' | head -1)"
  wait_exit
  [ "$EXIT_STATUS" = 0 ] || fail "the close box did not end the program: $EXIT_STATUS"
  has "end 5101" || fail "the close did not end the dialog with Cancel"
}

termination_waits_for_job() {
  local dir=$1
  start_app "$dir" || return
  typ "$LONG/long0000.bmp"
  set_box 1005 199
  click 1016
  click 1002
  wait_for 60 has "progress text" || { fail "no progress point"; return; }
  kill -TERM "$APP_PID"
  # The quit request waits: the job runs to its end.
  check_box 1 "0x00 終了しました" || return
  has "quit posted" || fail "the termination request was not seen as a quit"
  [ "$(ls "$dir" | grep -cE '^[0-9]{4}\.S05$')" = 200 ] || fail "the job did not finish"
  close_box 1
  wait_exit; [ "$EXIT_STATUS" = 0 ] || fail "the program did not end after the job"
}

browse_chooses_folder() {
  local dir=$1
  mkdir -p "$dir/elsewhere" "$dir/frames"
  "$MAKE_SAMPLE" "$dir/frames/pic" 0 2 64 48 9 >/dev/null || { fail "no frames"; return; }
  start_app "$dir/elsewhere" || return
  typ "kept"
  # Cancelled: the path box keeps its text.
  click 1001
  wait_for 20 visible '^Select a file$' || { fail "no file chooser"; return; }
  shot 11-file-chooser
  focus_window '^Select a file$'
  # The chooser fills itself in the background: Escape until it goes (an
  # Escape that reaches the main dialog afterwards does nothing there).
  local try
  for try in 1 2 3 4 5 6 7 8 9 10; do
    key Escape
    wait_for 1 not_visible '^Select a file$' && break
  done
  not_visible '^Select a file$' || { fail "Escape did not close the chooser"; return; }
  # Chosen: the full path goes into the box and the outputs beside it.
  click 1001
  wait_for 20 visible '^Select a file$' || { fail "no file chooser"; return; }
  focus_window '^Select a file$'
  sleep 1   # the chooser fills itself in the background before it takes keys
  key ctrl+l
  typ "$dir/frames/pic0001.bmp"
  # Enter until the chooser takes the name (its completion may eat one).
  for try in 1 2 3 4 5 6 7 8 9 10; do
    key Return
    wait_for 1 not_visible '^Select a file$' && break
  done
  not_visible '^Select a file$' || { fail "the chooser did not take the file"; return; }
  set_box 1005 2
  click 1002
  check_box 1 "0x00 終了しました" || return
  close_box 1
  [ -f "$dir/frames/0000.S05" ] && [ -f "$dir/frames/TES_0002.bmp" ] ||
    fail "outputs are not beside the chosen frames: $(ls "$dir/frames")"
  no_outputs "$dir/elsewhere"
  click 1003
  wait_exit; [ "$EXIT_STATUS" = 0 ] || fail "終了 did not end the program"
  grep -q "^values path=$dir/frames/pic0001.bmp start=0 end=2 " "$TRACE" ||
    fail "path box after browsing: $(grep '^values' "$TRACE" | tail -1)"
}

# ---------------------------------------------------------------- main

export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory GDK_BACKEND=x11 LANG=C.UTF-8 LC_ALL=C.UTF-8
start_display

LONG=$WORK/long
mkdir -p "$LONG"
"$MAKE_SAMPLE" "$LONG/long" 0 599 256 212 4 >/dev/null || { echo "no long sequence"; exit 1; }

# VELMIRA_DESKTOP_CASES="name ..." runs only the cases named.
for name in ${VELMIRA_DESKTOP_CASES:-start_values_and_plain_keys \
    keyboard_session_matches_cli refusals_write_nothing cancel_button_stops_job \
    exit_and_convert_during_job close_box_during_job progress_close_box_cancels \
    termination_waits_for_job browse_chooses_folder}; do
  run_case "$name"
done

if [ "$FAILURES" -ne 0 ]; then
  echo "$FAILURES failure(s); screenshots in $ARTIFACTS"
  exit 1
fi
echo "all desktop cases passed; screenshots in $ARTIFACTS"
