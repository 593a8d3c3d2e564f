#!/bin/sh
# The Debian package: made with CPack from the build into OUT_DIR, then its
# control fields and contents are checked, the desktop entry validated, and
# lintian run where it is installed (errors fail the test).
#
# usage: tests/install/package_test.sh BUILD_DIR OUT_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no dpkg-deb).
set -u

BUILD=$(cd "$1" && pwd) || exit 1
OUT=$2
rm -rf "$OUT"
mkdir -p "$OUT" || exit 1
OUT=$(cd "$OUT" && pwd)

fail() {
  echo "failed: $*"
  exit 1
}
command -v dpkg-deb >/dev/null 2>&1 || { echo "skipped: no dpkg-deb"; exit 77; }

(cd "$BUILD" && cpack -G DEB -D CPACK_OUTPUT_FILE_PREFIX="$OUT" >"$OUT/cpack.log" 2>&1) ||
  fail "cpack did not make the package (see $OUT/cpack.log)"
deb=$(ls "$OUT"/tesserix_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no package in $OUT"

dpkg-deb -f "$deb" Package | grep -qx tesserix || fail "the package is not named tesserix"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libavcodec libjpeg62-turbo fonts-noto-cjk fonts-dejavu-core \
  qt6-translations-l10n; do
  echo "$depends" | grep -q "$needed" || fail "the package does not depend on $needed"
done

dpkg-deb -c "$deb" | awk '{print $6}' >"$OUT/contents"
for file in ./usr/bin/tesserix ./usr/bin/tesserix-cli ./usr/lib/tesserix/Tesserix.set \
  ./usr/lib/tesserix/Res_TX.so ./usr/lib/tesserix/TXS/Sample.TXS \
  ./usr/share/applications/com.korvex.Tesserix.desktop \
  ./usr/share/icons/hicolor/256x256/apps/tesserix.png ./usr/share/man/man1/tesserix.1.gz \
  ./usr/share/doc/tesserix/copyright ./usr/share/doc/tesserix/changelog.gz \
  ./usr/share/metainfo/com.korvex.Tesserix.metainfo.xml; do
  grep -qx "$file" "$OUT/contents" || fail "the package lacks $file"
done
# Nothing of the build's tests, benchmarks or tools goes into the package.
if grep -E "_tests$|_bench$|/tx-" "$OUT/contents"; then
  fail "the package holds build-only programs"
fi

mkdir -p "$OUT/unpacked"
dpkg-deb -x "$deb" "$OUT/unpacked" || fail "the package does not unpack"
grep -q "gcompris-qt-data" "$OUT/unpacked/usr/share/doc/tesserix/copyright" ||
  fail "the copyright file does not name the sample photos' packages"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$OUT/unpacked/usr/share/applications/com.korvex.Tesserix.desktop" ||
    fail "the desktop entry does not validate"
fi
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$deb" >"$OUT/lintian.log" 2>&1 ||
    fail "lintian found errors: $(grep '^E:' "$OUT/lintian.log" | head -n 5)"
  echo "lintian: no errors"
fi
echo "passed: $deb"
