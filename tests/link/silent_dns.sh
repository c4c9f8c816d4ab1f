#!/bin/bash
# Runs one test function in a network and mount namespace of its own, where the
# only name server is a local one that never answers: a host name lookup then
# takes as long as the resolver's time-outs allow.
set -u
test_binary=$1
function=$2
if [[ $(id -u) -ne 0 ]] || ! unshare -m -n true 2>/dev/null; then
  echo "SKIP: needs root and namespaces (unshare) to stand up a silent name server"
  exit 77
fi
exec unshare -m -n --propagation private bash -c '
  set -eu
  ip link set lo up
  ready=$(mktemp)
  rm -f "$ready"
  python3 -c "
import socket, sys, time
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); u.bind((\"127.0.0.1\", 53))
t = socket.socket(socket.AF_INET, socket.SOCK_STREAM); t.bind((\"127.0.0.1\", 53)); t.listen(8)
open(sys.argv[1], \"w\").close()
time.sleep(120)
" "$ready" >/dev/null 2>&1 &
  stub=$!
  conf=$(mktemp)
  echo "nameserver 127.0.0.1" > "$conf"
  mount --bind "$conf" /etc/resolv.conf
  for _ in $(seq 100); do [[ -e $ready ]] && break; sleep 0.05; done
  [[ -e $ready ]] || { echo "the silent name server did not start"; exit 1; }
  rc=0
  KORIMA_SILENT_DNS=1 RES_OPTIONS="timeout:3 attempts:1" "$1" "$2" || rc=$?
  kill $stub
  exit $rc
' bash "$test_binary" "$function"
