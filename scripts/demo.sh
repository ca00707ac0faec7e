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

# Pixels of the background picture (tools/DemoPicture.h) away from the
# statistics overlay and from the edges between its areas: x y red green blue.
# The picture is stored as JPEG, hence the tolerance.
samples=(
  "560 148 255 236 150"  # the sun
  "400 40 92 130 196"    # the sky
  "250 150 152 156 186"  # the sky, left of the sun
  "300 310 42 85 48"     # a hill
  "400 500 26 81 125"    # the lake
)
tolerance=24
far() { local d=$(($1 - $2)); ((d > tolerance || d < -tolerance)); }

# check_background SCREENSHOT WINDOW: the window in the screenshot shows the
# background picture.
check_background() {
  local png=$1 window=$2 X Y WIDTH HEIGHT
  if [ ! -s "$png" ]; then
    echo "demo: no screenshot was taken" >&2
    return 1
  fi
  eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$')"
  if [ "${WIDTH:-}" != 800 ] || [ "${HEIGHT:-}" != 600 ]; then
    echo "demo: the window is ${WIDTH:-?} x ${HEIGHT:-?}, not 800 x 600" >&2
    return 1
  fi
  local bad=0 sample x y r g b got gr gg gb
  for sample in "${samples[@]}"; do
    read -r x y r g b <<<"$sample"
    got=$(convert "$png" -crop "1x1+$((X + x))+$((Y + y))" -depth 8 \
      -format '%[fx:int(255*r+0.5)] %[fx:int(255*g+0.5)] %[fx:int(255*b+0.5)]' info: 2>/dev/null)
    read -r gr gg gb <<<"$got"
    if ! [[ "$got" =~ ^[0-9]+\ [0-9]+\ [0-9]+$ ]] || far "$gr" "$r" || far "$gg" "$g" || far "$gb" "$b"; then
      echo "demo: pixel $x,$y of the window is ${got:-unreadable}, the background has $r $g $b there" >&2
      bad=1
    fi
  done
  [ $bad -eq 0 ] && echo "The screenshot shows the background."
  return $bad
}

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
  rm -f "$out/ambrixo-start.png" "$out/ambrixo-screenshot.png"
  import -window root "$out/ambrixo-start.png" 2>/dev/null
  echo "F: water on"; xdotool key f; sleep 1.5
  echo "G: bird on";  xdotool key g; sleep 1.5
  import -window root "$out/ambrixo-screenshot.png" 2>/dev/null
  check_background "$out/ambrixo-screenshot.png" "$window" || status=1
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
