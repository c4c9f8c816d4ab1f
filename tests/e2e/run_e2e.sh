#!/bin/bash
# Starts the real Korima in Xvfb beside the terminal simulator on 127.0.0.1 and
# uses it as a person would: double-click a file, open and leave the settings
# dialog and the about box with keyboard and mouse, close the main window.
set -euo pipefail
korima=$1 sim=$2 here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done
work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
shown() { xdotool search --onlyvisible --name "$1" >/dev/null; }
opened() { xdotool search --sync --onlyvisible --name "$1" | head -1 | grep . || fail "$1 did not open"; }
closed() { for _ in $(seq 50); do shown "$1" || return 0; sleep 0.1; done; fail "$1 did not close ($2)"; }

mkdir -p "$work/app" "$work/data"
cp "$korima" "$work/app/Korima"
# CP932 text, CR LF, and a last line without one, which the terminal stores like the others.
printf 'JAN,\x8f\xa4\x95\x69\x96\xbc\r\n4901234567894,\x83\x7b\x81\x5b\x83\x8b\x83\x79\x83\x93\r\n49012345678\x5c95,\xb1\xb2\xb3' > "$work/data/item.csv"
{ cat "$work/data/item.csv"; printf '\r\n'; } > "$work/expected.out"

source "$here/display.sh"
start_display 90
pids+=("$display_pid")
port=$((20000 + RANDOM % 20000))
"$sim" --host 127.0.0.1 --port "$port" --out "$work/received.out" > "$work/sim.log" 2>&1 &
pids+=($!)
sleep 0.5
kill -0 $! || fail "simulator did not start: $(cat "$work/sim.log")"
printf '"%s","0","127.0.0.1","%s",0,0\r\n' "$work/data" "$port" > "$work/app/Korima.ini"
(cd "$work" && QT_QPA_PLATFORM=xcb exec "$work/app/Korima") > "$work/korima.log" 2>&1 &
korima_pid=$!
pids+=($korima_pid)
main=$(opened "^KORIMA$")

# Double-click the list's first file (File1 starts at 96,8 in the client area).
xdotool mousemove --window "$main" 140 18 click --repeat 2 --delay 60 1
for _ in $(seq 100); do grep -q "END acknowledged" "$work/sim.log" && break; sleep 0.1; done
cmp "$work/received.out" "$work/expected.out" || fail "the terminal holds other lines: $(cat "$work/sim.log")"
sleep 0.3

# Settings: opened with the mouse; Escape is not bound; Tab to ｷｬﾝｾﾙ and Space close it.
xdotool mousemove --window "$main" 372 336 click 1
setting=$(opened "ｵﾌﾟｼｮﾝ設定")
xdotool windowfocus --sync "$setting" key --window "$setting" Escape
sleep 0.3
shown "ｵﾌﾟｼｮﾝ設定" || fail "Escape closed the settings dialog"
xdotool key --window "$setting" Tab space
closed "ｵﾌﾟｼｮﾝ設定" "Tab, Space"

# The about box: closed by Escape, then by a click on OK.
for way in key mouse; do
  xdotool mousemove --window "$main" 372 376 click 1
  about=$(opened "Korimaのﾊﾞｰｼﾞｮﾝ情報")
  # The box closes on the key press, so the release finds no window: not an error.
  if [[ $way == key ]]; then xdotool windowfocus --sync "$about" key --window "$about" Escape 2>/dev/null || true
  else xdotool mousemove --window "$about" 244 66 click 1; fi
  closed "Korimaのﾊﾞｰｼﾞｮﾝ情報" "$way"
done

# Closed as a close box asks: the program ends, with 0.
python3 "$here/close_window.py" "$main"
for _ in $(seq 100); do kill -0 "$korima_pid" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$korima_pid" 2>/dev/null || fail "Korima did not exit"
wait "$korima_pid" || fail "Korima exited with $?: $(cat "$work/korima.log")"
