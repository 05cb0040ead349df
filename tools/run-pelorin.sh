#!/usr/bin/env bash
# Sets the machine up, builds, and runs Pelorin.exe under Wine against the substitute router
# (192.168.1.1, admin / lumko), inside the network rig.
#
#   tools/run-pelorin.sh [SHOTS_DIR]
#
# With DISPLAY set, the window opens on that display and is yours to use until you close it
# (the program runs from a copy in a temporary folder, so its setup.ini goes there too).
# Without DISPLAY, it runs on a private X server, on Wine's virtual desktop "shell" with its
# taskbar: it logs in, asks for a new public address once with "断线", waits until the
# address shows, then minimises to the tray. It saves five screenshots into SHOTS_DIR
# (default build/screenshots) and prints their paths: the window after login, the box of
# "断线", the new address, the taskbar with the tray icon, and the taskbar with the icon's tip.
# Its lines are UTF-8. With PELORIN_LOCALE=C.UTF-8 (or zh_TW.UTF-8) the program runs as on a
# Western (Traditional Chinese) Windows, with code page 1252 (950) for non-Unicode programs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup.sh
cmake --preset native >/dev/null && cmake --build --preset native --target substitute-router
cmake --preset win64 >/dev/null && cmake --build --preset win64 --target Pelorin pelorin_ui_driver_tests

program=$root/build/win64/app/Pelorin.exe
driver=$root/build/win64/tests/wine/ui/pelorin_ui_driver_tests.exe
# The router drops the link on "断线" and dials again, with a new address, after 4 s.
redial=(--router-arg --redial-ms --router-arg 4000)

if [ -n "${DISPLAY:-}" ]; then
  folder=$(mktemp -d /tmp/pelorin-run.XXXXXX)
  trap 'rm -rf "$folder"' EXIT
  cp "$program" "$folder/Pelorin.exe"
  echo "Pelorin runs from $folder; the router is 192.168.1.1, user admin, password lumko."
  tools/rig/netrig.sh "${redial[@]}" -- tools/wine/run.sh "$folder/Pelorin.exe"
else
  shots=$(mkdir -p "${1:-build/screenshots}" && cd "${1:-build/screenshots}" && pwd)
  rm -f "$shots"/[1-5]-*.png
  status=0
  tests/wine/ui/run-ui.sh --shots "$shots" --timeout 300 "${redial[@]}" -- "$driver" "$program" --demo || status=$?
  for shot in "$shots"/[1-5]-*.png; do
    [ -f "$shot" ] && echo "screenshot: $shot"
  done
  exit "$status"
fi
