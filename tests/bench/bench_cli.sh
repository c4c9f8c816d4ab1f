#!/bin/bash
# korima-bench as a user meets it: --help, a bad line count, and an interrupted
# run that leaves neither its simulator nor its temporary folder behind.
set -u
bench=$1
fail() { echo "FAIL: $*"; exit 1; }
[[ $("$bench" --help | grep -c "^Usage: korima-bench\|README\.ja\.md") -eq 2 ]] ||
  fail "--help does not give the usage and say where the Japanese documentation is"
"$bench" abc 2>/dev/null; [[ $? -eq 2 ]] || fail "a non-numeric line count must exit 2"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for sig in INT TERM; do
  TMPDIR=$scratch "$bench" 100000 > "$scratch/out.txt" 2>&1 &
  for _ in $(seq 50); do pgrep -f "$scratch/" >/dev/null && break; sleep 0.1; done
  pgrep -f "$scratch/" >/dev/null || fail "the simulator did not start"
  sleep 0.5
  kill -"$sig" $!
  wait $!; rc=$?
  sleep 0.2
  [[ $rc -eq 130 ]] || fail "SIG$sig: exit $rc, not 130"
  ! pgrep -f "$scratch/" >/dev/null || fail "SIG$sig: the simulator was left running"
  [[ -z $(ls -A "$scratch" | grep -v '^out.txt$') ]] || fail "SIG$sig: left behind: $(ls "$scratch")"
done
echo "4 passed, 0 failed"
