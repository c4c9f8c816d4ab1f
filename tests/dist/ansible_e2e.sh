#!/bin/bash
# The example playbook run for real on this machine, as root, with the package
# from the build: the shop's configuration and outbox as the inventory says,
# a bad cradle refused by the dry check, a second run that changes nothing.
set -uo pipefail
source_dir=$1
deb=$2
fail() { echo "FAIL: $*"; [[ -f ${work:-/nonexistent}/play.log ]] && tail -40 "$work/play.log"; exit 1; }
if [[ $(id -u) -ne 0 ]] || dpkg-query -W -f='${Status}' korima 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIP: needs root, and a machine without korima installed"
  exit 77
fi
work=$(mktemp -d)
outbox=/var/lib/korima/outbox
trap 'apt-get purge -y -qq korima >/dev/null 2>&1; rm -rf "$work" /var/cache/korima-deploy /var/lib/korima' EXIT
export DEBIAN_FRONTEND=noninteractive ANSIBLE_NOCOLOR=1 ANSIBLE_LOCALHOST_WARNING=0

# Loopback cradles only: where systemd runs, the service really starts.
mkdir "$work/files"
printf 'A,1\r\n' > "$work/files/items.csv"
printf 'B,2\r\n' > "$work/files/prices.csv"
cat > "$work/inventory.yml" <<YAML
shops:
  hosts:
    localhost:
      ansible_python_interpreter: /usr/bin/python3
      korima_deb: $deb
      korima_cradles: [127.0.0.2, "127.0.0.3:6001"]
      korima_files: [$work/files/items.csv, $work/files/prices.csv]
      korima_send_opts: --port 6001
YAML
play() { ansible-playbook -c local -i "$work/inventory.yml" "$source_dir/dist/ansible/site.yml" "$@" > "$work/play.log" 2>&1; }
changed() { sed -n 's/^localhost *: ok=[0-9]* *changed=\([0-9]*\).*/\1/p' "$work/play.log"; }

# Yesterday's file and a temporary left behind are in the outbox already.
mkdir -p "$outbox"
touch "$outbox/old.csv" "$outbox/.items.csv.tmp"
play || fail "the first run failed"
[[ $(grep -v '^#' /etc/korima/cradles.txt) == $'127.0.0.2\n127.0.0.3:6001' ]] || fail "cradles.txt: $(cat /etc/korima/cradles.txt)"
grep -qx 'KORIMA_SEND_OPTS="--port 6001"' /etc/default/korima-send || fail "options: $(cat /etc/default/korima-send)"
[[ $(ls -A "$outbox" | tr '\n' ' ') == "items.csv prices.csv " ]] || fail "the outbox holds: $(ls -A "$outbox")"
cmp -s "$work/files/items.csv" "$outbox/items.csv" && cmp -s "$work/files/prices.csv" "$outbox/prices.csv" ||
  fail "the outbox's files differ from the list's"
if [[ $(ps -p 1 -o comm=) == systemd ]]; then
  systemctl is-enabled --quiet korima-send && systemctl is-active --quiet korima-send || fail "the service is not running"
else
  grep -q 'korima-send.service was not enabled or started' "$work/play.log" || fail "the skipped service step says nothing"
fi
echo "first run: package, cradles, options, outbox (changed=$(changed))"

play -e '{"korima_cradles": ["127.0.0.2", "127.0.0.3:x"]}' && fail "a bad cradle was accepted"
grep -q ':[0-9]*: not a HOST or HOST:PORT' "$work/play.log" || fail "the dry check did not say why"
grep -qx '127.0.0.3:6001' /etc/korima/cradles.txt || fail "cradles.txt was replaced by a bad one"
echo "a bad cradle is refused"

play || fail "the second run failed"
[[ $(changed) == 0 ]] || fail "the second run changed $(changed) things"
echo "second run: changed=0"
echo "1 passed, 0 failed"
