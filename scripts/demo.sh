#!/usr/bin/env bash
# Runs the demonstration from a build folder. With a display it opens the
# window. Without one it runs under Xvfb with a short scripted session (F, G,
# Esc), saving a screenshot and the log under build/.
set -uo pipefail
build=${1:?usage: scripts/demo.sh BUILD_DIR}
root=$(cd "$(dirname "$0")/.." && pwd)
exe="$build/samples/ambrixo/ambrixo"
[ -x "$exe" ] || { echo "demo: $exe is not built" >&2; exit 1; }
unset SDL_VIDEODRIVER

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$exe"
fi

echo "No display: running the demonstration under Xvfb with a scripted session (F, G, Esc)."
out="$root/build"
mkdir -p "$out"
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r -t 20 number <"$fifo"
rm -f "$fifo"
if [ -z "${number:-}" ]; then
  echo "demo: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
export DISPLAY=":$number"
cleanup() { kill "$xvfb" 2>/dev/null; }
trap cleanup EXIT

"$exe" &
game=$!
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --name ambrixo 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
status=0
if [ -z "$window" ]; then
  echo "demo: the window did not appear" >&2
  status=1
else
  sleep 1.5
  xdotool windowfocus --sync "$window" 2>/dev/null
  import -window root "$out/ambrixo-start.png" 2>/dev/null
  echo "F: water on"; xdotool key f; sleep 1.5
  echo "G: bird on";  xdotool key g; sleep 1.5
  import -window root "$out/ambrixo-screenshot.png" 2>/dev/null
  echo "Esc: quit";   xdotool key Escape
fi
for _ in $(seq 1 50); do
  kill -0 "$game" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$game" 2>/dev/null; then
  echo "demo: the program did not quit on Esc; stopping it" >&2
  kill -9 "$game" 2>/dev/null
  status=1
fi
wait "$game" 2>/dev/null
log=$(ls "$build"/samples/ambrixo/debug/*.log 2>/dev/null | head -n 1)
[ -n "$log" ] && cp "$log" "$out/ambrixo.log"
echo "Screenshot: $out/ambrixo-screenshot.png"
echo "Log: $out/ambrixo.log"
exit $status
