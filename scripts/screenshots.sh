#!/bin/bash
# Renders every window to PNG under Xvfb, into docs/ (or the folder given).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
mkdir -p "$out"
bash scripts/deps.sh
bash scripts/build.sh release >/dev/null
display=:78
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb build/release/tools/korima-shots "$PWD/sample/data" "$out"
ls "$out"/*.png
