#!/bin/bash
# Builds into build/<flavour>: "release" (default) or "asan" (Address + UndefinedBehavior sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
case "$flavour" in
  release) opts=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)    opts=(-DCMAKE_BUILD_TYPE=Debug -DKORIMA_SANITIZE=ON) ;;
  *) echo "unknown flavour $flavour" >&2; exit 2 ;;
esac
cmake -S . -B "build/$flavour" "${opts[@]}" >/dev/null
cmake --build "build/$flavour" -j"$(nproc)"
