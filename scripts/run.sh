#!/usr/bin/env bash
# Builds velnorex and starts it beside the sample device definitions, with a simulated transducer answering
# on a pseudo-terminal, so the whole program can be tried without hardware.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target velnorex velnorex-sim velnorex-dat velnorex-config velnorex_definitions

bin=$PWD/build/bin
definition=${VELNOREX_DEMO_DEFINITION:-$bin/THV-21.dat}
[ -f "$definition" ] || definition=$(ls "$bin"/*.dat | head -n 1)

demo=$(mktemp -d /tmp/velnorex-demo.XXXXXX)
port=$demo/ttySIM0
# Set up as somebody else might have left it: address 7, 19200 baud, parity none. The simulator answers only a
# port set to that baud rate and stop bits, so "Szukaj…" has something to find.
"$bin/velnorex-sim" --definition "$definition" --link "$port" --slave 7 --baud 19200 --parity n \
  --log "$demo/wire.log" >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$demo"' EXIT

for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
[ -e "$port" ] || { echo "the simulator did not start" >&2; exit 1; }

cat <<MSG

A simulated transducer (definition $(basename "$definition"), address and line setting for velnorex to
find) answers on:

    $port

In velnorex: type that path into "Port szer:", press "Szukaj…", set "do:" to 20 and press "Start"; the
search finds address 7 at 19200 baud, parity none. Press "Użyj" (the indicator turns green), choose
$(basename "$definition") in "Typ:", then double-click a group's name to read it. Press F1 for help.
The bytes on the line are logged to $demo/wire.log while the demo runs.

MSG

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting velnorex under Xvfb (nothing will be visible)." >&2
  xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/velnorex"
else
  "$bin/velnorex"
fi
