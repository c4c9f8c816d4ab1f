#!/bin/bash
# Runs one test function in a network and mount namespace of its own, so that
# nothing it sends can leave loopback and nothing it looks up reaches the
# machine's resolver. The world inside is set by the first argument:
#   silent-dns  the only name server is a local one that never answers
#   no-dns      the name server's address has nobody listening: lookups fail at once
#   refuse      the firewall refuses UDP to 127.0.0.2 (sendto fails with EPERM)
#   faults      the firewall loses 5% of UDP on loopback and duplicates 5%
#   addresses   192.168.1.10 is an address of this host too
# Usage: netns.sh WORLD TEST_BINARY "FUNCTION..."
set -u
world=$1
test_binary=$2
function=$3
if [[ $(id -u) -ne 0 ]] || ! unshare -m -n true 2>/dev/null; then
  echo "SKIP: needs root and namespaces (unshare) for a network of its own"
  exit 77
fi
if [[ $world == refuse || $world == faults ]] && ! command -v iptables >/dev/null; then
  echo "SKIP: iptables is not installed (scripts/deps.sh installs it)"
  exit 77
fi
exec unshare -m -n --propagation private bash -c '
  set -eu
  world=$1
  ip link set lo up
  conf=$(mktemp)
  echo "nameserver 127.0.0.1" > "$conf"
  mount --bind "$conf" /etc/resolv.conf
  stub=
  case $world in
    silent-dns)
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
      for _ in $(seq 100); do [[ -e $ready ]] && break; sleep 0.05; done
      [[ -e $ready ]] || { echo "the silent name server did not start"; exit 1; }
      export RES_OPTIONS="timeout:3 attempts:1" ;;
    no-dns) ;;
    refuse)
      iptables -A OUTPUT -d 127.0.0.2 -p udp -j DROP ;;
    faults)
      # Losses on the way in (a loss on the way out would be a failed send),
      # duplicates on the way out; both directions of every exchange.
      iptables -t mangle -A OUTPUT -o lo -p udp -m statistic --mode random --probability 0.05 -j TEE --gateway 127.0.0.1
      iptables -A INPUT -i lo -p udp -m statistic --mode random --probability 0.05 -j DROP ;;
    addresses)
      ip addr add 192.168.1.10/32 dev lo ;;
    *) echo "unknown world $world"; exit 2 ;;
  esac
  rc=0
  KORIMA_NETNS=$world "$2" $3 || rc=$?
  [[ -n $stub ]] && kill $stub
  exit $rc
' bash "$world" "$test_binary" "$function"
