#!/bin/bash
# Builds and runs the whole suite twice: a normal build, then under ASan/UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
status=0
for flavour in release asan; do
  echo "=== $flavour build ==="
  bash scripts/build.sh "$flavour"
  echo "=== $flavour tests ==="
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
    ctest --test-dir "build/$flavour" --output-on-failure -j2 --timeout 300 || status=1
done
exit $status
