#!/usr/bin/env bash
# Runs a command on a virtual X display of its own, then takes the display down.
#   with-display.sh [--width W] [--height H] -- COMMAND [ARG...]
# The display's name is in DISPLAY for the command.
set -uo pipefail
width=1920
height=1080
while [ $# -gt 0 ]; do
  case "$1" in
    --width) width="$2"; shift 2 ;;
    --height) height="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: with-display.sh [--width W] [--height H] -- COMMAND..." >&2; exit 2; }

# A display number nobody uses: -displayfd lets the server pick one itself.
fdfile=$(mktemp)
# (VELMORA_XVFB_OPTIONS: more options for the server, e.g. "-extension MIT-SHM".)
Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset ${VELMORA_XVFB_OPTIONS:-} 3>"$fdfile" </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$fdfile"' EXIT
for _ in $(seq 100); do
  [ -s "$fdfile" ] && break
  kill -0 $xvfb 2>/dev/null || { echo "with-display: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
export DISPLAY=":$(head -n1 "$fdfile")"
"$@"
