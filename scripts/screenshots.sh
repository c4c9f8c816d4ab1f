#!/bin/bash
# Renders every window to PNG under Xvfb into the folder given:
#   bash scripts/screenshots.sh OUT_DIR
# The README's pictures are in docs/; to replace them, name docs explicitly.
# The windows show the sample data under a neutral folder, /home/shop/data,
# wherever the namespaces allow it (root); elsewhere under a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $# -ne 1 ]]; then
  echo "usage: bash scripts/screenshots.sh OUT_DIR   (docs to replace the README's pictures)" >&2
  exit 2
fi
out=$(mkdir -p "$1" && cd "$1" && pwd)
bash scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"$(nproc)" --target korima-shots >/dev/null
display=:78
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
shots=$PWD/build/release/tools/korima-shots
if [[ $(id -u) -eq 0 ]] && unshare -m true 2>/dev/null; then
  unshare -m --propagation private bash -c '
    set -e
    mount -t tmpfs tmpfs /home
    mkdir -p /home/shop/data
    cp "$1"/* /home/shop/data/
    cd /home/shop
    DISPLAY=$2 QT_QPA_PLATFORM=xcb "$3" /home/shop/data "$4"
  ' bash "$PWD/sample/data" "$display" "$shots" "$out"
else
  scratch=$(mktemp -d)
  cp -r sample/data "$scratch/data"
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$shots" "$scratch/data" "$out"
  rm -rf "$scratch"
fi
ls "$out"/*.png
