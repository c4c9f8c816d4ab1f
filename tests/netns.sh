#!/bin/bash
# Runs one test function in a network and mount namespace of its own, so that
# nothing it sends can leave loopback and nothing it looks up reaches the
# machine's resolver (its only name server is 127.0.0.1).
# Usage: netns.sh WORLD TEST_BINARY "FUNCTION..."
set -u
if [[ $(id -u) -ne 0 ]] || ! unshare -m -n true 2>/dev/null; then
  echo "SKIP: needs root and namespaces (unshare) for a network of its own"
  exit 77
fi
if [[ $1 == silent-dns || $1 == refuse || $1 == faults ]] && ! command -v iptables >/dev/null; then
  echo "SKIP: iptables is not installed (scripts/deps.sh installs it)"
  exit 77
fi
exec unshare -m -n --propagation private bash -c '
  set -eu
  ip link set lo up
  conf=$(mktemp)
  echo "nameserver 127.0.0.1" > "$conf"
  mount --bind "$conf" /etc/resolv.conf
  case $1 in
    silent-dns)  # queries are dropped: lookups never answer
      iptables -A INPUT -i lo -p udp --dport 53 -j DROP
      export RES_OPTIONS="timeout:3 attempts:1" ;;
    no-dns) ;;  # nobody listens on port 53: lookups fail at once
    refuse)  # sendto 127.0.0.2 fails with EPERM
      iptables -A OUTPUT -d 127.0.0.2 -p udp -j DROP ;;
    faults)
      # 5 % of UDP on loopback duplicated on the way out and lost on the way
      # in (a loss on the way out would be a failed send): both directions.
      iptables -t mangle -A OUTPUT -o lo -p udp -m statistic --mode random --probability 0.05 -j TEE --gateway 127.0.0.1
      iptables -A INPUT -i lo -p udp -m statistic --mode random --probability 0.05 -j DROP ;;
    *) echo "unknown world $1"; exit 2 ;;
  esac
  KORIMA_NETNS=$1 exec "$2" $3
' bash "$@"
