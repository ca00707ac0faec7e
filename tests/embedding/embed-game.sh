#!/usr/bin/env bash
# A game project made the way the README tells a game author: the README's
# CMakeLists.txt and Hello.cpp (samples/hello) in a folder of their own, the
# engine's source beside them as quendrix/, no option given. It must
# configure without warnings, build, leave nothing of the engine's outside
# the engine's build folder, keep the engine's own flags and private folders
# off the game's compile line, run headless to its end and leave the log the
# engine promises.
#   embed-game.sh ENGINE_SOURCE WORK_DIR CMAKE C_COMPILER CXX_COMPILER GENERATOR
set -uo pipefail
src=${1:?} work=${2:?} cmake=${3:?} cc=${4:?} cxx=${5:?} generator=${6:?}

fail() {
  echo "embed-game: $*" >&2
  exit 1
}

# The README shows the sample's files exactly, each in the fenced block after
# a line <!-- samples/hello/NAME -->.
for name in CMakeLists.txt Hello.cpp; do
  shown=$(awk -v marker="<!-- samples/hello/$name -->" '
    $0 == marker { state = 1; next }
    state == 1 && /^```/ { state = 2; next }
    state == 2 && /^```$/ { exit }
    state == 2 { print }' "$src/README.md")
  [ -n "$shown" ] || fail "README.md shows no block for samples/hello/$name"
  if ! diff -u --label "README.md" --label "samples/hello/$name" <(printf '%s\n' "$shown") \
      "$src/samples/hello/$name" >&2; then
    fail "README.md and samples/hello/$name differ"
  fi
done

rm -rf "$work"
mkdir -p "$work/game" || fail "cannot make $work"
cp "$src/samples/hello/CMakeLists.txt" "$src/samples/hello/Hello.cpp" "$work/game/" || fail "cannot copy the sample"
ln -s "$src" "$work/game/quendrix"
cd "$work" || fail "cannot enter $work"

if ! "$cmake" -S game -B build -G "$generator" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >configure.log 2>&1; then
  cat configure.log >&2
  fail "the game project does not configure"
fi
if grep -q 'CMake Warning\|CMake Deprecation Warning' configure.log; then
  cat configure.log >&2
  fail "configuring the game project warns"
fi
if ! "$cmake" --build build -j "$(nproc)" >build.log 2>&1; then
  tail -n 60 build.log >&2
  fail "the game project does not build"
fi

# Only CMake's own files, the game and the engine's folder at the top of the
# game's build folder; the game's sources untouched.
for entry in build/* build/.[!.]*; do
  [ -e "$entry" ] || continue
  case ${entry#build/} in
    CMakeCache.txt | CMakeFiles | cmake_install.cmake | compile_commands.json | Makefile | build.ninja | \
      .ninja_deps | .ninja_log | hello | quendrix) ;;
    *) fail "the engine wrote $entry into the game's build folder" ;;
  esac
done
[ "$(cd game && ls -A | sort | tr '\n' ' ')" = "CMakeLists.txt Hello.cpp quendrix " ] ||
  fail "the game's source folder changed: $(ls -A game)"

# The game compiles with the engine's public folders, and without the
# platform's private folder or the engine's warning flags; the engine's own
# sources keep those flags.
command_of() { grep -m1 "\"command\":.*$1" build/compile_commands.json; }
game=$(command_of '/Hello\.cpp') || fail "no compile command for Hello.cpp"
engine=$(command_of '/CoreEngine/src/GameManager\.cpp') || fail "no compile command for GameManager.cpp"
case $game in *"/CoreEngine/src "* | *"/CoreEngine/src\""*) ;; *) fail "no CoreEngine/src on the game's include path: $game" ;; esac
case $game in *"/Platform/include "* | *"/Platform/include\""*) ;; *) fail "no Platform/include on the game's include path: $game" ;; esac
case $game in *"/Platform/src"*) fail "the platform's private folder is on the game's include path: $game" ;; esac
case $game in *"-Wextra"* | *"-fsanitize"*) fail "the engine's own flags reach the game's source: $game" ;; esac
case $engine in *"-Wextra"*) ;; *) fail "the engine's sources lost their warning flags: $engine" ;; esac

# A chime for the game to play: 0.1 s of a 400 Hz square wave, 8-bit mono at
# 8000 Hz, as a plain wave file.
mkdir -p build/sounds
{
  printf 'RIFF\x44\x03\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00'
  printf 'data\x20\x03\x00\x00'
  for _ in $(seq 40); do
    printf '\xc0\xc0\xc0\xc0\xc0\xc0\xc0\xc0\xc0\xc0\x40\x40\x40\x40\x40\x40\x40\x40\x40\x40'
  done
} >build/sounds/chime.wav

SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 120 build/hello >run.log 2>&1
rc=$?
[ "$rc" -eq 0 ] || { cat run.log >&2; fail "the game ended with status $rc"; }

for dir in cfg sshots graphics debug sounds; do
  [ -d "build/$dir" ] || fail "no $dir folder beside the program"
done
log=build/debug/QNDX_0.57-hello.log
[ -f "$log" ] || fail "no log at $log: $(ls build/debug)"
# These lines, in this order: the header, the display, the game's own lines,
# the footer written when the engine shut down at exit.
expected=(
  "Quendrix Version 0.57  Build 1"
  "INFO[1]: START: CQNDXVideoManager::CreateWindowed(width:640, height:480)"
  "INFO[1]: END: CQNDXVideoEngine::CreateWindowed"
  "INFO[1]: hello: the chime plays"
  "INFO[1]: hello: the square reached the far side"
  "Log Ends."
)
at=0
for line in "${expected[@]}"; do
  n=$(tail -n +"$((at + 1))" "$log" | grep -n -m1 -F -x -- "$line" | cut -d: -f1)
  if [ -z "$n" ]; then
    cat "$log" >&2
    fail "the log lacks \"$line\" (after line $at)"
  fi
  at=$((at + n))
done
if grep -n -E '^(ERROR|FATAL)' "$log" >&2; then
  fail "the log reports errors"
fi
[ "$(grep -c -F -x 'INFO[1]: hello: the square reached the far side' "$log")" -eq 1 ] ||
  fail "the game quit more than once"
echo "embed-game: configured, built and ran the README's game ($(wc -l <"$log") log lines)"
