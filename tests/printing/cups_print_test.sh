#!/bin/sh
# Real printing: a private print scheduler with a PDF-writing queue, a
# poster printed on it by tesserix-cli (four sheets portrait, then four
# landscape), and every sheet's PDF rendered back and compared with the part
# of the picture the print plan puts on it.
#
# The scheduler listens only on a socket in a temporary folder and keeps its
# configuration, spool, cache, state and logs there. The PDF backend reads
# its settings from a fixed system folder, so the scheduler runs in a
# private mount namespace where a folder of ours is mounted over that one;
# nothing outside the temporary folder and the output folder is written.
# A private process namespace makes sure that stopping the scheduler stops
# every filter and backend it started.
#
# usage: tests/printing/cups_print_test.sh [bin-folder] [output-folder]
# Exit codes: 0 passed, 1 failed, 77 skipped (no scheduler, PDF backend or
# namespaces, or not run as root, which the PDF backend needs).
set -u

BIN=$(cd "${1:-build/bin}" && pwd) || exit 1
OUT=${2:-$(mktemp -d)}
mkdir -p "$OUT" || exit 1
OUT=$(cd "$OUT" && pwd)
PATH="$PATH:/usr/sbin:/sbin"
export PATH

QUEUE=tesserix-test
PICTURE_WIDTH=600
PICTURE_HEIGHT=800
RENDER_DPI=30
SERVER_START_SECONDS=10
JOB_WAIT_SECONDS=60
BACKEND_DIR=/usr/lib/cups/backend
PDF_CONFIG_DIR=/etc/cups

CLI="$BIN/tesserix-cli"
CHECK="$BIN/sheet_check"

skip() {
  echo "skipped: $*"
  exit 77
}

for tool in cupsd lpadmin lpstat lpinfo cupsenable cupsaccept pdfinfo pdftoppm unshare mount \
  pgrep; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -e "$BACKEND_DIR/cups-pdf" ] || skip "the cups-pdf backend is not installed"
[ -d "$PDF_CONFIG_DIR" ] ||
  skip "$PDF_CONFIG_DIR, where the PDF backend reads its settings, is missing"
[ "$(id -u)" -eq 0 ] || skip "the PDF backend only runs under a scheduler started as root"
unshare --mount --pid --fork --propagation private true 2>/dev/null ||
  skip "no private mount and process namespaces here"
for program in "$CLI" "$CHECK"; do
  if [ ! -x "$program" ]; then
    echo "failed: no program at $program"
    exit 1
  fi
done

# A short folder name: the socket path must fit a socket address.
WORK=$(mktemp -d /tmp/tx-cups.XXXXXX) || exit 1
SERVER_PID=

stop_server() {
  if [ -n "$SERVER_PID" ]; then
    # The scheduler is the first process of its namespace: when it dies,
    # every process it started dies with it. unshare, which ignores
    # SIGTERM, then reaps it and ends; killing unshare kills it too.
    for child in $(pgrep -P "$SERVER_PID" 2>/dev/null); do
      kill -KILL "$child" 2>/dev/null
    done
    i=0
    while kill -0 "$SERVER_PID" 2>/dev/null && [ "$i" -lt 20 ]; do
      sleep 0.1
      i=$((i + 1))
    done
    kill -KILL "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
    SERVER_PID=
  fi
}

cleanup() {
  stop_server
  mkdir -p "$OUT/logs"
  cp "$WORK"/log/* "$OUT/logs/" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

log_tail() {
  echo "--- last lines of the scheduler's error log:"
  grep -v '^D ' "$WORK/log/error_log" 2>/dev/null | tail -n 25
  for file in "$WORK"/log/cups-pdf-*_log; do
    [ -f "$file" ] || continue
    echo "--- last lines of $(basename "$file"):"
    tail -n 10 "$file"
  done
}

fail() {
  echo "failed: $*"
  log_tail
  exit 1
}

# The scheduler's folders. Filters run as an unprivileged user, so the
# folders must be reachable for it.
chmod 755 "$WORK"
mkdir -p "$WORK/conf/ppd" "$WORK/conf/ssl" "$WORK/spool/tmp" "$WORK/cache" "$WORK/state" \
  "$WORK/log" "$WORK/backend-conf" "$WORK/pdf" "$WORK/pdf-spool" "$WORK/gs-tmp" \
  "$WORK/client-tmp" "$WORK/runtime" "$WORK/home" "$WORK/user" || exit 1
chmod 1777 "$WORK/spool/tmp"
chmod 700 "$WORK/runtime"

SOCKET="$WORK/cups.sock"
cat >"$WORK/conf/cups-files.conf" <<EOF
ServerRoot $WORK/conf
RequestRoot $WORK/spool
TempDir $WORK/spool/tmp
CacheDir $WORK/cache
StateDir $WORK/state
AccessLog $WORK/log/access_log
ErrorLog $WORK/log/error_log
PageLog $WORK/log/page_log
SystemGroup root
FileDevice No
Sandboxing Relaxed
EOF
cat >"$WORK/conf/cupsd.conf" <<EOF
Listen $SOCKET
LogLevel debug
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
# The backend's settings, for this queue and in general: every file it
# writes stays in the work folder. Job numbers in the names keep sheets
# with the same title apart.
for name in "cups-pdf-$QUEUE.conf" cups-pdf.conf; do
  cat >"$WORK/backend-conf/$name" <<EOF
Out $WORK/pdf
AnonDirName $WORK/pdf
Spool $WORK/pdf-spool
GSTmp $WORK/gs-tmp
Log $WORK/log
LogType 3
Label 1
Grp root
EOF
done

unshare --mount --pid --fork --kill-child --propagation private sh -c '
  mount --bind "$1" "$2" || exit 1
  exec cupsd -f -c "$3/cupsd.conf" -s "$3/cups-files.conf"
' sh "$WORK/backend-conf" "$PDF_CONFIG_DIR" "$WORK/conf" >"$WORK/log/cupsd.out" 2>&1 &
SERVER_PID=$!

CUPS_SERVER=$SOCKET
export CUPS_SERVER
started=no
i=0
while [ "$i" -lt $((SERVER_START_SECONDS * 10)) ]; do
  if lpstat -r 2>/dev/null | grep -q "is running"; then
    started=yes
    break
  fi
  kill -0 "$SERVER_PID" 2>/dev/null || break
  sleep 0.1
  i=$((i + 1))
done
if [ "$started" != yes ]; then
  cat "$WORK/log/cupsd.out"
  log_tail
  skip "the private print scheduler did not start"
fi
echo "scheduler running on $SOCKET"

lpinfo --include-schemes cups-pdf -v 2>/dev/null | grep -q "cups-pdf:/" ||
  skip "the scheduler finds no cups-pdf backend"
MODEL=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF/ { print $1; exit }')
[ -n "$MODEL" ] || skip "the scheduler finds no PDF printer description"
lpadmin -p "$QUEUE" -E -v cups-pdf:/ -m "$MODEL" 2>"$WORK/lpadmin.err" ||
  fail "lpadmin could not add the queue: $(cat "$WORK/lpadmin.err")"
if ! cupsenable "$QUEUE" || ! cupsaccept "$QUEUE"; then
  fail "the queue could not be enabled"
fi
echo "queue $QUEUE on cups-pdf:/ with $MODEL"

PICTURE="$WORK/picture.bmp"
"$CHECK" picture "$PICTURE" "$PICTURE_WIDTH" "$PICTURE_HEIGHT" || fail "no test picture"
cp "$PICTURE" "$OUT/picture.bmp"

# The programs get folders of their own so that no setting or printer
# option of the account running the test takes part.
isolated() {
  HOME="$WORK/home" TMPDIR="$WORK/client-tmp" XDG_RUNTIME_DIR="$WORK/runtime" \
    TESSERIX_USER_DIR="$WORK/user" \
    QT_QPA_PLATFORM=offscreen "$@"
}
cli() {
  isolated "$CLI" "$@"
}

completed_jobs() {
  lpstat -W completed -o "$QUEUE" 2>/dev/null | wc -l
}

# Prints the picture in one layout and checks every sheet's PDF.
print_layout() {
  layout=$1
  orientation=$2
  dir="$OUT/layout-$layout"
  rm -rf "$dir"
  mkdir -p "$dir"

  cli print "$PICTURE" --layout "$layout" --plan --printer "$QUEUE" >"$dir/plan.json" \
    2>"$dir/plan.err" || fail "the plan of layout $layout failed: $(cat "$dir/plan.err")"
  sheets=$("$CHECK" sheets "$dir/plan.json") || fail "unreadable plan: $(cat "$dir/plan.json")"
  expected=$(echo "$sheets" | grep -c .)
  [ "$expected" -eq 4 ] || fail "layout $layout plans $expected sheets with a picture, not 4"

  before=$(completed_jobs)
  cli print "$PICTURE" --layout "$layout" --printer "$QUEUE" >"$dir/print.out" 2>&1 ||
    fail "printing layout $layout failed: $(cat "$dir/print.out")"

  i=0
  while [ "$i" -lt $((JOB_WAIT_SECONDS * 10)) ]; do
    [ -z "$(lpstat -o "$QUEUE" 2>/dev/null)" ] && break
    sleep 0.1
    i=$((i + 1))
  done
  [ -z "$(lpstat -o "$QUEUE" 2>/dev/null)" ] ||
    fail "jobs of layout $layout still pending after $JOB_WAIT_SECONDS s: $(lpstat -o "$QUEUE")"
  jobs=$(($(completed_jobs) - before))
  [ "$jobs" -eq "$expected" ] || fail "layout $layout made $jobs jobs, not $expected"

  # One PDF per job, named after the document with the job number before or
  # after it; the jobs came in sheet order.
  files=$(ls "$WORK/pdf" |
    sed -n "s/^\(.*job_\([0-9]*\).*\.pdf\)\$/\2 \1/p" | sort -n | cut -d" " -f2-)
  count=$(echo "$files" | grep -c .)
  [ "$count" -eq "$expected" ] || fail "layout $layout wrote $count PDF files, not $expected"
  # Every job carries the document name and was one page in one copy.
  for file in $files; do
    job=$(echo "$file" | sed 's/.*job_\([0-9]*\).*/\1/')
    grep -q "^$QUEUE [^ ]* $job \[.*\] total 1 .* Tesserix文件 " "$WORK/log/page_log" ||
      fail "job $job is not one page named Tesserix文件: $(cat "$WORK/log/page_log")"
  done

  # Where the printable area lies on the page, and the printer pixels per
  # inch the plan counts in, as Qt reports them for this queue.
  metrics=$(isolated "$CHECK" metrics "$QUEUE" "$orientation") ||
    fail "no metrics for $QUEUE in $orientation"
  set -- $metrics
  echo "layout $layout: $orientation, $1 x $2 dpi, printable area at ($3, $4)"
  dpi_x=$1 dpi_y=$2 offset_x=$3 offset_y=$4

  n=1
  for file in $files; do
    index=$(echo "$sheets" | sed -n "${n}p")
    page="$dir/sheet-$index"
    mv "$WORK/pdf/$file" "$page.pdf" || fail "cannot move $file"
    info=$(pdfinfo "$page.pdf") || fail "pdfinfo cannot read $file"
    pages=$(echo "$info" | sed -n 's/^Pages:[[:space:]]*//p')
    [ "$pages" = 1 ] || fail "sheet $index of layout $layout has $pages pages"
    # The page as shown: its size turned by the page rotation.
    shape=$(echo "$info" | awk '
      /^Page size:/ { w = $3; h = $5 }
      /^Page rot:/ { rot = $3 }
      END {
        if (rot % 180 != 0) { t = w; w = h; h = t }
        print (w > h ? "landscape" : "portrait")
      }')
    # A landscape sheet may come as a landscape page or, as on paper, as a
    # portrait page with its content turned; the comparison then turns the
    # page back.
    turned=
    if [ "$shape" != "$orientation" ]; then
      [ "$orientation" = landscape ] ||
        fail "sheet $index of layout $layout is $shape, not $orientation"
      turned=turned
    fi
    pdftoppm -r "$RENDER_DPI" -singlefile "$page.pdf" "$page" 2>"$page.err" ||
      fail "pdftoppm cannot render $file"
    result=$("$CHECK" page "$dir/plan.json" "$index" "$page.ppm" "$PICTURE_WIDTH" \
      "$PICTURE_HEIGHT" "$RENDER_DPI" "$dpi_x" "$dpi_y" "$offset_x" "$offset_y" $turned)
    status=$?
    echo "layout $layout sheet $index ($file${turned:+, turned}): $result"
    [ "$status" -eq 0 ] || fail "sheet $index of layout $layout does not show its part of the picture"
    n=$((n + 1))
  done
  echo "layout $layout: $expected $orientation sheets match the plan"
}

print_layout 4 portrait
print_layout 5 landscape
echo "passed"
