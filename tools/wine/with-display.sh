#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private X server (Xvfb) of its own, which goes away
# with it on every path: Windows programs under Wine need a display to make windows.
#
#   with-display.sh -- command [args...]
#   with-display.sh --gtest-desktop -- TESTS.exe [args...]
#
# With --gtest-desktop the GoogleTest program runs under Wine on a virtual desktop, as
# Windows runs it: without one, Wine waits for a window manager that Xvfb does not have each
# time a window is hidden. Its exit status does not come back through the desktop, so the
# verdict is read from the program's XML report.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
gtest_desktop=0
[ "${1:-}" = "--gtest-desktop" ] && { gtest_desktop=1; shift; }
[ "${1:-}" = "--" ] && shift
(($#)) || { echo "with-display: no command given" >&2; exit 2; }

work=$(mktemp -d /tmp/pelorin-display.XXXXXX)
xvfb_pid=""
cleanup() {
  set +e
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    for _ in $(seq 40); do kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Xvfb picks a free display and writes its number to the pipe.
setpriv --pdeathsig KILL Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "with-display: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$work/display" ] || { echo "with-display: Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset XAUTHORITY

if ((gtest_desktop)); then
  report="$work/report.xml"
  set +e
  "$here/run.sh" explorer /desktop=pelorin-tests,1024x700 "$@" --gtest_output="xml:Z:${report//\//\\}"
  set -e
  [ -s "$report" ] || { echo "with-display: $1 wrote no report (it did not finish)" >&2; exit 1; }
  grep -q '<testsuites tests="[1-9][0-9]*" failures="0"[^>]* errors="0"' "$report" || exit 1
  exit 0
fi
set +e
"$@"
status=$?
set -e
exit $status
