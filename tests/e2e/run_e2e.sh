#!/bin/bash
# Starts the real Korima in Xvfb beside the terminal simulator on 127.0.0.1 and
# uses it as a person would: double-click a file, open and close the settings
# dialog and the about box with keyboard and mouse, close the main window.
set -euo pipefail
korima=$1
sim=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh"; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/app" "$work/data"
cp "$korima" "$work/app/Korima"
# A data file with CP932 text, CR LF, and a last line without terminator.
printf 'JAN,\x8f\xa4\x95\x69\x96\xbc\r\n4901234567894,\x83\x7b\x81\x5b\x83\x8b\x83\x79\x83\x93\r\n49012345678\x5c95,\xb1\xb2\xb3' > "$work/data/item.csv"
printf 'JAN,\x8f\xa4\x95\x69\x96\xbc\r\n4901234567894,\x83\x7b\x81\x5b\x83\x8b\x83\x79\x83\x93\r\n49012345678\x5c95,\xb1\xb2\xb3\r\n' > "$work/expected.out"

# A free display and a free UDP port on loopback.
source "$here/display.sh"
start_display 90
pids+=($display_pid)

port=$((20000 + RANDOM % 20000))
"$sim" --host 127.0.0.1 --port "$port" --out "$work/received.out" > "$work/sim.log" 2>&1 &
pids+=($!)
sleep 0.5
kill -0 "${pids[1]}" || fail "simulator did not start: $(cat "$work/sim.log")"
printf '"%s","0","127.0.0.1","%s",0,0\r\n' "$work/data" "$port" > "$work/app/Korima.ini"

export QT_QPA_PLATFORM=xcb
(cd "$work" && exec "$work/app/Korima") > "$work/korima.log" 2>&1 &
korima_pid=$!
pids+=($korima_pid)
main=$(xdotool search --sync --onlyvisible --name "^KORIMA$" | head -1)
[[ -n $main ]] || fail "main window did not appear"
echo "main window $main"

# Double-click the first file in the list (File1 starts at 96,8 in the client area).
xdotool mousemove --window "$main" 140 18 click --repeat 2 --delay 60 1
for _ in $(seq 100); do
  grep -q "END acknowledged" "$work/sim.log" && break
  sleep 0.1
done
grep -q "END acknowledged" "$work/sim.log" || fail "the download did not complete: $(cat "$work/sim.log")"
cmp "$work/received.out" "$work/expected.out" || fail "stored lines differ from the file's lines"
echo "download stored all lines"
sleep 0.3

# Settings dialog: opened with the mouse, closed by Tab to ｷｬﾝｾﾙ and Space.
xdotool mousemove --window "$main" 372 336 click 1
setting=$(xdotool search --sync --onlyvisible --name "ｵﾌﾟｼｮﾝ設定" | head -1)
[[ -n $setting ]] || fail "settings dialog did not open"
xdotool windowfocus --sync "$setting"
xdotool key --window "$setting" Escape  # Escape is not bound here
sleep 0.3
xdotool search --onlyvisible --name "ｵﾌﾟｼｮﾝ設定" >/dev/null || fail "Escape closed the settings dialog"
xdotool key --window "$setting" Tab space
for _ in $(seq 50); do xdotool search --onlyvisible --name "ｵﾌﾟｼｮﾝ設定" >/dev/null || break; sleep 0.1; done
! xdotool search --onlyvisible --name "ｵﾌﾟｼｮﾝ設定" >/dev/null || fail "settings dialog did not close"
echo "settings dialog opened and cancelled"

# About box: Escape closes it; then once more, closed with the mouse on OK.
for way in key mouse; do
  xdotool mousemove --window "$main" 372 376 click 1
  about=$(xdotool search --sync --onlyvisible --name "Korimaのﾊﾞｰｼﾞｮﾝ情報" | head -1)
  [[ -n $about ]] || fail "about box did not open"
  if [[ $way == key ]]; then
    xdotool windowfocus --sync "$about"
    # The box closes on the key press, so the release finds no window: not an error.
    xdotool key --window "$about" Escape 2>/dev/null || true
  else
    xdotool mousemove --window "$about" 244 66 click 1
  fi
  for _ in $(seq 50); do xdotool search --onlyvisible --name "Korimaのﾊﾞｰｼﾞｮﾝ情報" >/dev/null || break; sleep 0.1; done
  ! xdotool search --onlyvisible --name "Korimaのﾊﾞｰｼﾞｮﾝ情報" >/dev/null || fail "about box did not close ($way)"
  echo "about box closed by $way"
done

# Close the main window as a close box would; the program must end.
python3 "$here/close_window.py" "$main"
for _ in $(seq 100); do kill -0 "$korima_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$korima_pid" 2>/dev/null; then fail "Korima did not exit"; fi
wait "$korima_pid" && rc=0 || rc=$?
[[ $rc -eq 0 ]] || fail "Korima exited with $rc: $(cat "$work/korima.log")"
echo "1 passed, 0 failed"
