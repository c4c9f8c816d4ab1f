#!/bin/bash
# Builds KORIMA and starts it beside the bundled terminal simulator on loopback,
# with the sample data folder. Press 通信ｽﾀｰﾄ to watch a whole download;
# the simulator stores what it receives in run/received.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh release

run=$PWD/run
mkdir -p "$run"
cp build/release/Korima "$run/Korima"
# The settings file the program reads beside itself: CP932, one line, CR LF.
printf '"%s","6000","127.0.0.1","6001",0,0\r\n' "$PWD/sample/data" > "$run/Korima.ini"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  echo "no display found: KORIMA runs in Xvfb on $DISPLAY (screenshot: import -display $DISPLAY -window root shot.png)"
  sleep 1
fi

build/release/tools/korima-terminal-sim --host 127.0.0.1 --port 6001 --out "$run/received.txt" &
sim=$!
trap 'kill $sim ${xvfb:-} 2>/dev/null || true' EXIT
cd "$run"
./Korima
