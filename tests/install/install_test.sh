#!/bin/sh
# The installed tree: `cmake --install` into a staging folder, then the
# installed tesserix-cli, started from another working folder, makes a
# montage of the installed sample target from the installed sample
# collection, and the installed program starts on Xvfb to its home screen
# (when Xvfb is there). Nothing may be written into the installed tree.
#
# usage: tests/install/install_test.sh BUILD_DIR OUT_DIR
# Exit codes: 0 passed, 1 failed.
set -u

BUILD=$(cd "$1" && pwd) || exit 1
OUT=$2
rm -rf "$OUT"
mkdir -p "$OUT/elsewhere" || exit 1
OUT=$(cd "$OUT" && pwd)
STAGE="$OUT/stage"

fail() {
  echo "failed: $*"
  exit 1
}

cmake --install "$BUILD" --prefix "$STAGE" >"$OUT/install.log" 2>&1 ||
  fail "cmake --install did not finish (see $OUT/install.log)"
for file in bin/tesserix bin/tesserix-cli lib/tesserix/Tesserix.set lib/tesserix/Res_TX.so \
  lib/tesserix/Res_EN.so lib/tesserix/Albumkit.so lib/tesserix/libfxkit.so \
  lib/tesserix/TXS/Sample.TXS lib/tesserix/sample-target.jpg lib/tesserix/help/en/index.html \
  share/applications/com.korvex.Tesserix.desktop share/icons/hicolor/16x16/apps/tesserix.png \
  share/icons/hicolor/48x48/apps/tesserix.png share/icons/hicolor/256x256/apps/tesserix.png \
  share/man/man1/tesserix.1.gz share/man/man1/tesserix-cli.1.gz share/doc/tesserix/copyright \
  share/doc/tesserix/changelog.gz share/metainfo/com.korvex.Tesserix.metainfo.xml; do
  [ -e "$STAGE/$file" ] || fail "the installed tree lacks $file"
done
if ldd "$STAGE/bin/tesserix-cli" | grep -q "not found"; then
  fail "the installed tesserix-cli misses a library: $(ldd "$STAGE/bin/tesserix-cli" | grep "not found")"
fi
# The build tree must not be what the installed programs find.
if ldd "$STAGE/bin/tesserix-cli" | grep -q "=> $BUILD/bin/"; then
  fail "the installed tesserix-cli loads libraries from the build tree"
fi

if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$STAGE/share/applications/com.korvex.Tesserix.desktop" ||
    fail "the desktop entry does not validate"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$STAGE/share/metainfo/com.korvex.Tesserix.metainfo.xml" \
    >"$OUT/metainfo.log" 2>&1 || fail "the metainfo does not validate: $(cat "$OUT/metainfo.log")"
fi

# The manual pages hold the programs' own help, every command group of the
# command-line tool among it.
"$STAGE/bin/tesserix" --help | head -n 1 | grep -q "^usage: tesserix" ||
  fail "the installed tesserix gives no help"
gzip -dc "$STAGE/share/man/man1/tesserix.1.gz" | grep -q "^usage: tesserix \[PICTURE" ||
  fail "tesserix(1) does not hold the program's help"
for group in effect image montage print album collection video string config; do
  gzip -dc "$STAGE/share/man/man1/tesserix-cli.1.gz" | grep -q "^\.SS $group\$" ||
    fail "tesserix-cli(1) lacks the $group commands"
done

touch "$OUT/installed.mark"
sleep 1
cd "$OUT/elsewhere" || exit 1
export TESSERIX_USER_DIR="$OUT/user"
"$STAGE/bin/tesserix-cli" montage "$STAGE/lib/tesserix/sample-target.jpg" -o montage.jpg --yes \
  >"$OUT/montage.log" 2>&1 || fail "the installed tesserix-cli made no montage: $(tail -n 3 "$OUT/montage.log")"
[ -s montage.jpg ] || fail "no montage file"
"$STAGE/bin/tesserix-cli" image info montage.jpg | grep -q " 24 " || fail "the montage is not a colour picture"
echo "the installed tesserix-cli made $(pwd)/montage.jpg from the installed sample collection"

if command -v xvfb-run >/dev/null 2>&1; then
  export TESSERIX_LOG="$OUT/tesserix.log"
  timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    "$0" "$1" >/dev/null 2>&1 &
    program=$!
    for i in $(seq 1 100); do
      grep -q "^home shown" "$TESSERIX_LOG" 2>/dev/null && break
      sleep 0.1
    done
    kill "$program" 2>/dev/null
    wait "$program" 2>/dev/null
    true' "$STAGE/bin/tesserix" "$STAGE/lib/tesserix/sample-target.jpg"
  grep -q "^home shown" "$TESSERIX_LOG" || fail "the installed program did not show its home screen"
  grep -q "^open target $STAGE/lib/tesserix/sample-target.jpg" "$TESSERIX_LOG" ||
    fail "the installed program did not open the picture it was given"
  echo "the installed tesserix started to its home screen"
fi

written=$(find "$STAGE" -newer "$OUT/installed.mark" | head -n 5)
[ -z "$written" ] || fail "the programs wrote into their installed folder: $written"
echo "passed"
