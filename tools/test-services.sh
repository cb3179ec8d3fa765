#!/usr/bin/env bash
# Starts and stops the real services that the printer and clipboard tests use, each in a folder
# of its own under DIR, apart from the system's own:
#   - a CUPS server (cupsd) on a socket of its own, whose default destination "PDF" is a PDF
#     printer writing to a file (DIR/cups/PDF.pdf); it keeps every job's document, so that the
#     tests can see what reached it;
#   - a Wayland compositor (Weston, on a virtual X display, which gives it the seat that the
#     clipboard needs) on a socket of its own.
# `start` writes DIR/env, the variables the tests read; the test command sources it. A service
# that cannot start is named there with the reason instead, and its tests skip saying so.
# `stop` ends everything `start` started.
# Usage: tools/test-services.sh start DIR | stop DIR
set -uo pipefail
action=${1:?start or stop}
dir=${2:?the services folder}

# Waits for a socket (or a file) to appear: true when it did.
wait_for() {
  for _ in $(seq 100); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

stop_pid() {  # stop_pid PIDFILE
  [ -s "$1" ] || return 0
  local pid
  pid=$(cat "$1")
  rm -f "$1"
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
}

start_cups() {
  local cups=$dir/cups
  local ppd=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
  if [ "$(id -u)" -ne 0 ]; then
    echo "cupsd needs root to start (it runs its filters as the user lp)"
    return 1
  fi
  if [ ! -x /usr/sbin/cupsd ] || ! command -v lpadmin >/dev/null || [ ! -f "$ppd" ]; then
    echo "CUPS is not installed (packages cups, cups-client and cups-filters)"
    return 1
  fi
  mkdir -p "$cups"/{spool,tmp,cache,state,log}
  chmod 1777 "$cups/tmp"  # the filters write there as the user lp
  cat >"$cups/cups-files.conf" <<EOF
ServerRoot $cups
RequestRoot $cups/spool
TempDir $cups/tmp
CacheDir $cups/cache
StateDir $cups/state
ErrorLog $cups/log/error_log
AccessLog $cups/log/access_log
PageLog $cups/log/page_log
Printcap $cups/printcap
FileDevice Yes
EOF
  # Jobs keep their documents and their state files are written at once: the tests read both.
  cat >"$cups/cupsd.conf" <<EOF
Listen $cups/cups.sock
LogLevel warn
Browsing No
WebInterface No
PreserveJobFiles Yes
DirtyCleanInterval 0
ErrorPolicy abort-job
<Location />
  Order allow,deny
  Allow all
</Location>
EOF
  setsid /usr/sbin/cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" \
    </dev/null >"$cups/log/cupsd.out" 2>&1 &
  echo $! >"$dir/cupsd.pid"
  if ! wait_for "$cups/cups.sock"; then
    echo "cupsd did not start: $(tail -n 3 "$cups/log/cupsd.out" "$cups/log/error_log" 2>/dev/null | tr '\n' ' ')"
    return 1
  fi
  export CUPS_SERVER=$cups/cups.sock
  if ! lpadmin -p PDF -E -v "file:$cups/PDF.pdf" -P "$ppd" 2>"$cups/log/lpadmin.out" ||
     ! lpadmin -d PDF 2>>"$cups/log/lpadmin.out"; then
    echo "lpadmin could not make the PDF printer: $(tr '\n' ' ' <"$cups/log/lpadmin.out")"
    return 1
  fi
  {
    echo "export CUPS_SERVER='$cups/cups.sock'"
    echo "export TSL_TEST_CUPS_SERVER='$cups/cups.sock'"
    echo "export TSL_TEST_CUPS_SPOOL='$cups/spool'"
    echo "export TSL_TEST_CUPS_OUTPUT='$cups/PDF.pdf'"
  } >>"$dir/env"
}

start_wayland() {
  local runtime=$dir/wayland
  if ! command -v weston >/dev/null || ! command -v Xvfb >/dev/null ||
     ! command -v wl-copy >/dev/null; then
    echo "Weston, Xvfb or wl-clipboard is not installed (packages weston, xvfb, wl-clipboard)"
    return 1
  fi
  mkdir -p "$runtime"
  chmod 700 "$runtime"
  # Weston's headless back end has no seat, without which there is no clipboard; its X11 back
  # end on a virtual display has one.
  setsid Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$runtime/display" \
    </dev/null >"$runtime/xvfb.out" 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$runtime/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$runtime/display" ]; then
    echo "Xvfb did not start: $(tail -n 3 "$runtime/xvfb.out" | tr '\n' ' ')"
    return 1
  fi
  DISPLAY=":$(cat "$runtime/display")" XDG_RUNTIME_DIR=$runtime setsid weston \
    --backend=x11-backend.so --use-pixman --shell=kiosk-shell.so --socket=tessaline-test \
    --idle-time=0 --width=320 --height=200 </dev/null >"$runtime/weston.out" 2>&1 &
  echo $! >"$dir/weston.pid"
  if ! wait_for "$runtime/tessaline-test"; then
    echo "weston did not start: $(tail -n 3 "$runtime/weston.out" | tr '\n' ' ')"
    return 1
  fi
  {
    echo "export TSL_TEST_WAYLAND_DISPLAY=tessaline-test"
    echo "export TSL_TEST_XDG_RUNTIME_DIR='$runtime'"
  } >>"$dir/env"
}

case $action in
  start)
    mkdir -p "$dir"
    chmod 755 "$dir"  # CUPS' filters run as the user lp and read the jobs under it
    : >"$dir/env"
    if ! why=$(start_cups); then
      echo "export TSL_TEST_CUPS_UNAVAILABLE='${why//\'/}'" >>"$dir/env"
      echo "No CUPS server for the tests: $why"
    fi
    if ! why=$(start_wayland); then
      echo "export TSL_TEST_WAYLAND_UNAVAILABLE='${why//\'/}'" >>"$dir/env"
      echo "No Wayland compositor for the tests: $why"
    fi
    ;;
  stop)
    stop_pid "$dir/weston.pid"
    stop_pid "$dir/xvfb.pid"
    stop_pid "$dir/cupsd.pid"
    ;;
  *)
    echo "usage: $0 start DIR | stop DIR" >&2
    exit 2
    ;;
esac
