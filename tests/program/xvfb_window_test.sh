#!/bin/sh
# The real program on a virtual X server: a first start with a picture, a
# second start with another picture that must hand it to the first and end
# with 0, then Ctrl+Q in the first, which must end it. Screenshots are kept
# when ImageMagick's `import` is installed.
#
# usage: tests/program/xvfb_window_test.sh [bin-folder] [output-folder]
# Exit codes: 0 passed, 1 failed, 77 skipped (no xvfb-run or xdotool).
set -u

BIN=$(cd "${1:-build/bin}" && pwd) || exit 1
OUT=${2:-$(mktemp -d)}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done
if [ ! -x "$BIN/tesserix" ]; then
  echo "failed: no program at $BIN/tesserix"
  exit 1
fi

export TESSERIX_USER_DIR="$OUT/user"
export TESSERIX_LOG="$OUT/tesserix.log"
# A home of its own, where the printer set-up proposes its PDF file, and a
# print scheduler that does not exist, so no real printer is ever used.
export HOME="$OUT/home"
export CUPS_SERVER="$OUT/no-scheduler.sock"
export BIN OUT
rm -rf "$HOME" "$TESSERIX_USER_DIR"
mkdir -p "$TESSERIX_USER_DIR" "$HOME"
rm -f "$TESSERIX_LOG"
cp "$BIN/sample-target.jpg" "$OUT/first picture.jpg" 2>/dev/null || : >"$OUT/first picture.jpg"
cp "$BIN/sample-target.jpg" "$OUT/second.jpg" 2>/dev/null || : >"$OUT/second.jpg"
# A folder of real photos (the sample photos' packages), for the album.
rm -rf "$OUT/photos"
mkdir -p "$OUT/photos"
PHOTOS=0
TSV="$(dirname "$0")/../../data/sample/sample-photos.tsv"
while IFS="$(printf '\t')" read -r role package container file licence; do
  [ "$role" = tile ] && [ "$container" = - ] && [ -f "$file" ] || continue
  PHOTOS=$((PHOTOS + 1))
  cp "$file" "$OUT/photos/photo$PHOTOS.jpg"
  [ "$PHOTOS" -lt 8 ] || break
done <"$TSV"
if [ "$PHOTOS" -eq 0 ]; then
  echo "failed: no sample photos (run scripts/setup)"
  exit 1
fi
export PHOTOS

# The screen must be larger than 640 x 480 and in full colour, or the
# program refuses to start.
xvfb-run -a -s "-screen 0 1024x768x24" sh -eu -c '
  shot() {
    if command -v import >/dev/null 2>&1; then
      import -window root "$OUT/$1.png" && echo "screenshot $OUT/$1.png"
    fi
  }
  fail() { echo "failed: $*"; kill "$first" 2>/dev/null || true; exit 1; }

  "$BIN/tesserix" "$OUT/first picture.jpg" 2>"$OUT/first.stderr" &
  first=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Tesserix" | head -n 1) ||
    fail "no main window appeared"
  echo "main window $window"
  shot splash
  grep -q "open target $OUT/first picture.jpg" "$TESSERIX_LOG" ||
    fail "the first picture was not opened"
  sleep 4  # the About splash closes after three seconds
  shot home

  # A relative name: the second start makes it absolute for the first.
  code=0
  ( cd "$OUT" && timeout 30 "$BIN/tesserix" -x second.jpg 2>"$OUT/second.stderr" ) || code=$?
  [ "$code" -eq 0 ] || fail "the second start ended with $code"
  grep -q "transfer name $OUT/second.jpg" "$TESSERIX_LOG" ||
    fail "the first instance did not receive the second picture"
  echo "second start handed over $OUT/second.jpg and ended with 0"
  shot after-hand-over

  # Real clicks: to the montage settings and back home.
  click() {
    xdotool mousemove --window "$window" "$1" "$2" sleep 0.2 click 1 sleep 0.5
  }
  # Waits until a dialog of the program shows (a second visible window).
  wait_dialog() {
    for i in $(seq 1 50); do
      [ "$(xdotool search --onlyvisible --pid "$first" 2>/dev/null | wc -l)" -gt 1 ] && break
      sleep 0.2
    done
    sleep 0.5
  }
  click 584 184
  grep -q "^screen 3" "$TESSERIX_LOG" || fail "a click did not reach the montage settings"
  shot montage-settings
  click 584 556
  grep -q "^screen 0" "$TESSERIX_LOG" || fail "a click did not return home"
  echo "clicks moved to the montage settings and back"

  # A folder of photos becomes an album through the picture source screen
  # (New, then Add with the real open-file dialog: the folder typed, then the
  # files), the album a My Collection built on its screen, and the sample
  # collection is left out, so the montage below is made of these photos.
  click 584 80
  grep -q "^screen 1" "$TESSERIX_LOG" || fail "a click did not reach the picture source"
  click 582 302
  xdotool key --clearmodifiers Return
  sleep 0.5
  click 694 302
  wait_dialog
  xdotool type --delay 20 "$OUT/photos"
  xdotool key --clearmodifiers Return
  sleep 1
  xdotool type --delay 20 "$(cd "$OUT/photos" && printf "\"%s\" " *.jpg)"
  xdotool key --clearmodifiers Return
  for i in $(seq 1 100); do
    grep -q "^photos added" "$TESSERIX_LOG" && break
    sleep 0.2
  done
  grep -q "^photos added $PHOTOS" "$TESSERIX_LOG" || fail "the album did not take the $PHOTOS photos"
  shot album
  echo "an album of $PHOTOS photos made through the open-file dialog"
  click 582 554
  click 584 184
  click 584 386
  grep -q "^screen 4" "$TESSERIX_LOG" || fail "a click did not reach the My Collection screen"
  click 140 96
  click 584 288
  grep -q "^my collections added" "$TESSERIX_LOG" || fail "Add made no My Collection"
  click 584 344
  for i in $(seq 1 300); do
    grep -q "^my collections built" "$TESSERIX_LOG" && break
    sleep 0.2
  done
  grep -q "^my collections built" "$TESSERIX_LOG" || fail "the My Collection was not built"
  [ "$(grep "^screen" "$TESSERIX_LOG" | tail -n 1)" = "screen 3" ] ||
    fail "the build did not end on the montage settings"
  # The sample collection: a click moves its weight 1, 2, 3, then off.
  click 100 370
  click 100 370
  click 100 370
  shot my-collection-built
  click 584 556
  echo "the album was built into a My Collection and chosen alone"

  # Create from the settings screen: the run is shown at home and ends with
  # a montage made from the sample collection.
  click 584 184
  click 584 504
  grep -q "^create" "$TESSERIX_LOG" || fail "the Create click did not start a run"
  for i in $(seq 1 300); do
    grep -q "^montage made" "$TESSERIX_LOG" && break
    sleep 0.2
  done
  grep -q "^montage made" "$TESSERIX_LOG" || fail "the run made no montage"
  sleep 0.5
  shot montage
  echo "Create made a montage"

  # The match map over the montage, the colours the photos lack on the
  # settings screen, then home and the map off again.
  click 752 310
  grep -q "^match map on" "$TESSERIX_LOG" || fail "the match map toggle did not turn it on"
  shot match-map
  click 584 184
  shot colours-to-add
  click 584 556
  click 752 310
  grep -q "^match map off" "$TESSERIX_LOG" || fail "the match map toggle did not turn it off"
  echo "the match map and the colours to add showed"

  # Print the montage: the real printer set-up offers the PDF file (no
  # printer is reachable here), Enter confirms, the print screen shows, and
  # Print writes the file the set-up named and returns home.
  click 584 436
  wait_dialog
  shot print-setup
  xdotool key --clearmodifiers Return
  sleep 1
  grep -q "^screen 5" "$TESSERIX_LOG" || fail "the printer set-up did not lead to the print screen"
  shot print-screen
  click 584 394
  for i in $(seq 1 100); do
    grep -q "^printed" "$TESSERIX_LOG" && break
    sleep 0.2
  done
  grep -q "^printed 1 sheets" "$TESSERIX_LOG" || fail "Print did not print one sheet"
  [ -s "$HOME/print.pdf" ] || fail "no PDF file at $HOME/print.pdf"
  if command -v pdfinfo >/dev/null 2>&1; then
    pdfinfo "$HOME/print.pdf" | grep -q "^Pages: *1$" || fail "the PDF file does not hold one page"
  fi
  [ "$(grep "^screen" "$TESSERIX_LOG" | tail -n 1)" = "screen 0" ] || fail "Print did not return home"
  echo "Print wrote the montage to $HOME/print.pdf"

  # The montage is unsaved: Ctrl+Q asks; Esc (Cancel) keeps the program.
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --clearmodifiers ctrl+q
  sleep 1
  shot close-question
  xdotool key --clearmodifiers Escape
  sleep 0.5
  grep -q "^close refused" "$TESSERIX_LOG" || fail "cancelling the question did not keep the program"
  kill -0 "$first" 2>/dev/null || fail "the program ended although the question was cancelled"
  echo "the unsaved montage question kept the program on Cancel"

  # Again, answering No: the montage is dropped and the program ends.
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --clearmodifiers ctrl+q
  sleep 1
  xdotool key --clearmodifiers alt+n
  for i in $(seq 1 50); do
    kill -0 "$first" 2>/dev/null || break
    sleep 0.2
  done
  if kill -0 "$first" 2>/dev/null; then
    fail "Ctrl+Q did not end the program"
  fi
  wait "$first" || fail "the program ended with $?"
  grep -q "^closed" "$TESSERIX_LOG" || fail "the window did not close through its checks"
  echo "Ctrl+Q and No ended the program"
'
status=$?
echo "log: $TESSERIX_LOG"
[ "$status" -eq 0 ] && echo "passed" || echo "failed ($status)"
exit "$status"
