#!/usr/bin/env bash
# Runs the ticker against the bundled sample news service.
#   bash scripts/run.sh
# Installs what is missing, builds the loopback build of the program, starts
# the sample service on 127.0.0.1:18936 and runs velmora-loopback.exe under
# Wine: on $DISPLAY when there is one (answer the start-up hint yourself, quit
# with a double-click on the tray icon or Esc), otherwise on a virtual display
# where the hint is answered for you and the program is closed after the
# screenshot. About 20 s after start-up the top 200 pixels of the screen are
# saved to build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh
[ -f build/win32/build.ninja ] || cmake --preset win32 >/dev/null
cmake --build --preset win32 --target velmora-loopback velmora-answer >/dev/null

program="$root/build/win32/src/app/velmora-loopback.exe"
answer="$root/build/win32/tests/support/driver/velmora-answer.exe"
screenshot="$root/build/screenshot.png"
settle=${VELMORA_RUN_SETTLE:-20}

# A Wine prefix of the demo's own: a Wine server keeps the screen size of the
# display it first met, so this one is started afresh on the display used now.
export WINEPREFIX="$root/build/win32/wineprefix-run"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset LANG LANGUAGE
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run: preparing a Wine prefix (once)"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
fi
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

python3 scripts/sample-news-service.py --port 18936 &
service=$!
trap 'kill $service 2>/dev/null || true; wait $service 2>/dev/null || true' EXIT
sleep 0.5
kill -0 $service 2>/dev/null || { echo "run: the sample service did not start (is port 18936 taken?)" >&2; exit 1; }

take_screenshot() {

  /usr/bin/import -window root -crop x200+0+0 +repage "$screenshot" &&
    echo "run: screenshot saved to $screenshot"
}
export -f take_screenshot
export program answer screenshot settle

if [ -n "${DISPLAY:-}" ]; then
  echo "run: Velmora on $DISPLAY; answer the hint, then double-click the tray icon or press Esc to quit"
  LC_ALL=zh_CN.UTF-8 wine "$program" </dev/null &
  ticker=$!
  sleep "$settle"
  take_screenshot || true
  wait $ticker || true
else
  echo "run: no display; Velmora on a virtual one, for ${settle} s"
  # (No shared-memory images: see tests/support/driver/e2e-run.sh.in.)
  VELMORA_XVFB_OPTIONS="-extension MIT-SHM" scripts/with-display.sh --width 1920 --height 1080 -- bash -c '
    # A desktop-like background, to show that only the headlines are drawn.
    /usr/bin/convert -size 1920x1080 gradient:"#35577a"-"#1c2b3a" "$WINEPREFIX/../run-background.png" &&
      /usr/bin/display -window root "$WINEPREFIX/../run-background.png" 2>/dev/null &
    LC_ALL=zh_CN.UTF-8 wine "$program" </dev/null 2>/dev/null &
    ticker=$!
    wine "$answer" hint 60 </dev/null 2>/dev/null
    sleep "$settle"
    take_screenshot
    status=$?
    wine "$answer" quit 5 </dev/null 2>/dev/null
    wait $ticker
    wineserver -k 2>/dev/null
    exit $status'
fi
