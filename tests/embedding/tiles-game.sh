#!/usr/bin/env bash
# samples/tiles built as a game project of its own (the engine's source beside
# it as quendrix/, its data made by the build), played under a private Xvfb
# with scripted keys while SDL's disk driver captures its sound: the window
# must show the map, the keyed sprite facing right, then facing left after
# Left is held, and the blended bar (tiles_check frame); the capture must hold
# the looping music and one blip after Space (tiles_check mix); Esc must end
# it cleanly with no error in its log.
#   tiles-game.sh ENGINE_SOURCE WORK_DIR CMAKE C_COMPILER CXX_COMPILER GENERATOR TILES_CHECK
set -uo pipefail
src=${1:?} work=${2:?} cmake=${3:?} cc=${4:?} cxx=${5:?} generator=${6:?} check=${7:?}

fail() {
  echo "tiles-game: $*" >&2
  exit 1
}

for tool in Xvfb xdpyinfo xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "tiles-game: skipped: $tool is not installed (scripts/deps.txt lists it)"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work/game" || fail "cannot make $work"
cp "$src/samples/tiles/CMakeLists.txt" "$src/samples/tiles/Tiles.cpp" "$work/game/" || fail "cannot copy the sample"
ln -s "$src" "$work/game/quendrix"
cd "$work" || fail "cannot enter $work"

if ! "$cmake" -S game -B build -G "$generator" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    >configure.log 2>&1; then
  cat configure.log >&2
  fail "the game project does not configure"
fi
if ! "$cmake" --build build -j 4 >build.log 2>&1; then
  tail -n 60 build.log >&2
  fail "the game project does not build"
fi
for file in graphics/tiles.png graphics/player.png maps/level.txt sounds/blip.wav sounds/music.mid; do
  [ -s "build/$file" ] || fail "the build made no $file beside the game"
done

fifo="$work/xvfb.fifo"
mkfifo "$fifo" || fail "cannot make $fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
number=""
read -r -t 20 number <"$fifo"
rm -f "$fifo"
game=""
cleanup() {
  [ -n "$game" ] && kill -9 "$game" 2>/dev/null
  kill "$xvfb" 2>/dev/null
}
trap cleanup EXIT
[ -n "$number" ] || fail "Xvfb did not start"
export DISPLAY=":$number"
# The server answers before the game opens its window.
for _ in $(seq 1 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.2
done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer"

(cd build && SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/mix.raw" exec ./tiles) \
  >run.log 2>&1 &
game=$!
window=""
for _ in $(seq 1 150); do
  window=$(xdotool search --name '^tiles$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then
  cat run.log >&2
  kill -0 "$xvfb" 2>/dev/null || echo "tiles-game: Xvfb has ended" >&2
  fail "the game's window did not appear on $DISPLAY"
fi
sleep 1.5
xdotool windowfocus --sync "$window" 2>/dev/null
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$')"
[ "${WIDTH:-}" = 800 ] && [ "${HEIGHT:-}" = 600 ] || fail "the window is ${WIDTH:-?} x ${HEIGHT:-?}, not 800 x 600"

# shot NAME FACING: a screenshot of the screen, checked; prints the sprite's x.
shot() {
  import -window root -depth 8 "ppm:$work/$1.ppm" 2>/dev/null || fail "no screenshot $1"
  local found
  found=$("$check" frame build "$work/$1.ppm" "$X" "$Y" "$2") || fail "the $1 frame is wrong (see above)"
  echo "tiles-game: $1: $found" >&2
  set -- $found
  echo "$2"
}

x_start=$(shot start right) || exit 1
xdotool keydown Left
sleep 0.6
xdotool keyup Left
sleep 0.6
x_left=$(shot walked-left left) || exit 1
[ "$x_left" -lt "$x_start" ] || fail "Left held moved the sprite from x $x_start to $x_left"
xdotool key space
sleep 2
xdotool key Escape
for _ in $(seq 1 50); do
  kill -0 "$game" 2>/dev/null || break
  sleep 0.2
done
kill -0 "$game" 2>/dev/null && fail "the game did not end on Esc"
wait "$game"
rc=$?
game=""
[ "$rc" -eq 0 ] || { cat run.log >&2; fail "the game ended with status $rc"; }

"$check" mix "$work/mix.raw" build/sounds/blip.wav || fail "the game's sound is wrong (see above)"
log=build/debug/QNDX_0.57-tiles.log
[ -f "$log" ] || fail "no log at $log"
if grep -n -E '^(ERROR|FATAL)' "$log" >&2; then
  fail "the game's log reports errors"
fi
grep -q -F -x 'Log Ends.' "$log" || fail "the log has no footer: the engine did not shut down"
echo "tiles-game: built, played and heard samples/tiles"
