#!/bin/bash
# Builds KORIMA and starts it beside the bundled terminal simulator on loopback,
# with the sample data folder. Press 通信ｽﾀｰﾄ to watch a whole download;
# the simulator stores what it receives in run/received.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# Only the program and the simulator: the tests are scripts/test.sh's business.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"$(nproc)" --target Korima korima-terminal-sim

run=$PWD/run
port=6001
mkdir -p "$run"
cp build/release/Korima "$run/Korima"
# The settings file the program reads beside itself: CP932, one line, CR LF.
printf '"%s","6000","127.0.0.1","%s",0,0\r\n' "$PWD/sample/data" "$port" > "$run/Korima.ini"

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  echo "no display found: KORIMA runs in Xvfb on $DISPLAY (screenshot: import -display $DISPLAY -window root shot.png)"
  sleep 1
fi

build/release/tools/korima-terminal-sim --host 127.0.0.1 --port "$port" --out "$run/received.txt" > "$run/sim.log" 2>&1 &
pids+=($!)
# The simulator says "listening" once its port is bound; a port in use stops it at once.
for _ in $(seq 50); do
  grep -q "^listening" "$run/sim.log" && break
  kill -0 "${pids[-1]}" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q "^listening" "$run/sim.log"; then
  echo "the terminal simulator did not start on 127.0.0.1:$port:" >&2
  cat "$run/sim.log" >&2
  echo "(is another simulator or program using UDP port $port?)" >&2
  exit 1
fi
echo "terminal simulator on 127.0.0.1:$port; the lines it receives go to $run/received.txt"
cd "$run"
./Korima
