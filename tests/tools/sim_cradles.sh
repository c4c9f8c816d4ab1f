#!/bin/bash
# The simulator standing for three cradles, and the real korima-send serving
# them at once: each cradle stores its own file, a fault for one cradle stays
# with it (under -q only that failure is said, with its cradle), and a bad
# --out is refused.
set -u
sim=$1
fail() { echo "FAIL: $*"; cat "$work/sim.log" 2>/dev/null; exit 1; }
work=$(mktemp -d)
trap 'kill %1 2>/dev/null; rm -rf "$work"' EXIT

"$sim" --help | grep -q "README.ja.md" || fail "--help does not say where the Japanese documentation is"
"$sim" --cradles 2 --out "$work/received.out" 2>/dev/null; [[ $? -eq 2 ]] || fail "--out without %n must exit 2"
"$sim" --cradles 2 --bel 1@3 2>/dev/null; [[ $? -eq 2 ]] || fail "a fault for a cradle that is not there must exit 2"

port=$((20000 + RANDOM % 20000))
"$sim" --cradles 3 --port "$port" --out "$work/cradle-%n.out" --bel 2@2 --once > "$work/sim.log" 2>&1 &
for _ in $(seq 50); do [[ $(grep -c "^listening on 127.0.0.[234]:$port" "$work/sim.log") -eq 3 ]] && break; sleep 0.1; done
printf 'A,1\r\nA,2\r\n' > "$work/a.csv"
"$2" --host 127.0.0.2 --host 127.0.0.3 --host 127.0.0.4 --port "$port" --local-port 0 --settings "$work/none.ini" \
  --connect-timeout 5 -q --json "$work/a.csv" > "$work/out.json" 2> "$work/err.txt"
rc=$?
[[ $rc -eq 7 && $(cat "$work/err.txt") == "127.0.0.3: ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ BEL受信" ]] ||
  fail "exit $rc and stderr: $(cat "$work/err.txt") (wanted 7 and cradle 2's BEL alone)"
for n in 1 3; do cmp -s "$work/cradle-$n.out" "$work/a.csv" || fail "cradle $n does not hold the file"; done
[[ $(cat "$work/cradle-2.out") == $'A,1\r' ]] || fail "cradle 2 holds: $(od -c "$work/cradle-2.out")"
pairs=$(grep -o '"\(host\|outcome\)":"[^"]*"' "$work/out.json" | cut -d'"' -f4 | paste -d' ' - - | sort | paste -sd,)
[[ $pairs == "127.0.0.2 complete,127.0.0.3 bel,127.0.0.4 complete" ]] || fail "JSON: $(cat "$work/out.json")"
echo "3 passed, 0 failed"
