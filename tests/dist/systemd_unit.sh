#!/bin/bash
# korima-send.service as systemd reads it, from a staged install that holds
# the program: the unit verifies, its sandbox rates 2.0 or lower, and the
# service user's sysusers line parses.
set -uo pipefail
build=$1
fail() { echo "FAIL: $*"; exit 1; }
command -v systemd-analyze >/dev/null || fail "no systemd-analyze: run scripts/deps.sh"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"
unit=$root/usr/lib/systemd/system/korima-send.service
[[ -f $unit ]] || fail "no unit installed"

# The system's own units (the targets the unit depends on) beside it, and
# its manual page found where the staged tree has it.
cp -an /usr/lib/systemd/system/. "$root/usr/lib/systemd/system/"
out=$(MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" "$unit" 2>&1) ||
  fail "systemd-analyze verify: $out"
[[ -z $out ]] || fail "systemd-analyze verify: $out"

out=$(systemd-analyze security --offline=true --root="$root" "$unit" 2>&1)
level=$(sed -n 's/.*Overall exposure level for korima-send.service: \([0-9.]*\).*/\1/p' <<<"$out")
[[ -n $level ]] || fail "no exposure level: $out"
awk -v l="$level" 'BEGIN { exit !(l <= 2.0) }' || fail "exposure $level is over 2.0: $(grep '✗' <<<"$out")"
echo "exposure level $level"

out=$(systemd-sysusers --root="$root" --dry-run 2>&1) || fail "systemd-sysusers: $out"
grep -q "Creating user 'korima'" <<<"$out" && ! grep -q '\.conf:[0-9]*:' <<<"$out" || fail "systemd-sysusers: $out"
echo "1 passed, 0 failed"
