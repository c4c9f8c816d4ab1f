#!/bin/bash
# The Debian package end to end, as root on a CI machine: build it (lintian
# passes) unless it is given, install it with apt-get, check what the service
# needs, start the installed korima as an unprivileged user with a fresh home
# under Xvfb, send with the installed korima-send into the installed
# simulator, then purge the package and check that nothing of it is left.
set -uo pipefail
source_dir=$1
sim=$2
deb=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*"; [[ -f ${work:-/nonexistent}/korima.log ]] && cat "$work/korima.log"; exit 1; }

if [[ -z $deb ]]; then
  deb=$source_dir/$(bash "$source_dir/scripts/package.sh" | tail -1) || fail "scripts/package.sh failed (lintian or build)"
  echo "built and lintian-clean: $deb"
fi
[[ -f $deb ]] || fail "no package at $deb"
if [[ $(id -u) -ne 0 ]] || ! command -v runuser >/dev/null; then
  echo "SKIP: installing the package needs root (and runuser); the package itself was built and checked"
  exit 77
fi
if dpkg-query -W -f='${Status}' korima 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIP: korima is already installed on this machine; not touching it"
  exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  if dpkg-query -W -f='${Status}' korima 2>/dev/null | grep -q "install ok"; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=300 korima >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" > "$work/apt.log" 2>&1 ||
  fail "apt-get install: $(cat "$work/apt.log")"
installed=$(dpkg -L korima) || fail "dpkg does not list korima"
[[ -x /usr/bin/korima && -x /usr/bin/korima-send && -x /usr/bin/korima-terminal-sim ]] || fail "the commands are not on the PATH"
sim=/usr/bin/korima-terminal-sim  # the package's own: no hardware and no build tree needed
echo "installed"

# The service: its user and its folders, shipped disabled; the log rotated
# by logrotate without a new file.
[[ $(getent passwd korima | cut -d: -f7) == /usr/sbin/nologin ]] || fail "no system user korima: $(getent passwd korima)"
[[ $(stat -c '%U:%G %a' /var/log/korima) == "korima:adm 2750" ]] || fail "/var/log/korima is $(stat -c '%U:%G %a' /var/log/korima)"
[[ $(stat -c '%U:%G %a' /var/lib/korima/outbox) == "root:root 755" ]] || fail "the outbox is $(stat -c '%U:%G %a' /var/lib/korima/outbox)"
[[ -z $(find /etc/systemd/system -name korima-send.service) ]] || fail "korima-send.service was enabled on install"
runuser -u korima -- korima-send --check-hosts /etc/korima/cradles.txt || fail "the service user can't read cradles.txt"
runuser -u korima -- sh -c 'echo "{}" >> /var/log/korima/transfers.jsonl' || fail "the service user can't write its log"
runuser -u korima -- touch /var/lib/korima/outbox/x 2>/dev/null && fail "the service user can write the outbox"
touch /var/lib/korima/outbox/items.csv  # root's, until the purge
logrotate -f -s "$work/logrotate.state" /etc/logrotate.d/korima || fail "logrotate failed"
[[ -f /var/log/korima/transfers.jsonl.1 && ! -e /var/log/korima/transfers.jsonl ]] ||
  fail "not rotated as the rule says: $(ls /var/log/korima)"
echo "service: user, folders, disabled, log rotation"

# A display, and a home of its own for the unprivileged user.
source "$source_dir/tests/e2e/display.sh"
start_display 200
pids+=($display_pid)
home=$work/home
mkdir -p "$home" "$work/data"
printf 'A,1\r\nB,\x8f\xa4\x95\x69\r\n' > "$work/data/item.csv"
chown -R nobody "$home" "$work/data"
# Asks every visible main window to close, as a close box would.
close_main() {
  for w in $(xdotool search --onlyvisible --name "^KORIMA$" 2>/dev/null); do
    python3 "$source_dir/tests/e2e/close_window.py" "$w" 2>/dev/null
  done
}
as_user() {
  runuser -u nobody -- env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
    LANG=C.UTF-8 "$@"
}

# First start: the "File Read" box comes first, then the window; the file
# appears in the user's configuration folder and nowhere near the program.
as_user korima > "$work/korima.log" 2>&1 &
pid=$!
pids+=($pid)
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^File Read$' | head -1)
[[ -n $box ]] || fail "no File Read box on the first start"
xdotool search --onlyvisible --name "^KORIMA$" >/dev/null && fail "the window came before the box"
xdotool windowfocus --sync "$box"
xdotool key --window "$box" Return
main=$(timeout 20 xdotool search --sync --onlyvisible --name "^KORIMA$" | head -1)
[[ -n $main ]] || fail "the main window did not appear"
ini=$home/.config/korima/korima.ini
[[ -f $ini ]] || fail "no settings file in ~/.config/korima"
default_host=$(sed -n 's/.*kDefaultRemoteHost = "\(.*\)";/\1/p' "$source_dir/src/config/Settings.h")
[[ -n $default_host ]] || fail "cannot read the default host from Settings.h"
expected=$(printf '"%s","6000","%s","6001",0,0\r\n' "$home" "$default_host")
[[ $(cat "$ini") == "$expected" ]] || fail "settings file holds: $(od -c "$ini" | head)"
[[ $(stat -c %U "$ini") == nobody ]] || fail "the settings file does not belong to the user"
[[ ! -e /usr/bin/korima.ini ]] || fail "a settings file was written beside the executable"
close_main
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "korima did not exit"
echo "first start: box, window, settings in ~/.config/korima"

# The installed korima-send into two cradles of the installed simulator.
port=$((20000 + RANDOM % 20000))
"$sim" --cradles 2 --port "$port" --out "$work/cradle-%n.out" --once > "$work/sim2.log" 2>&1 &
pids+=($!)
sleep 0.5
as_user korima-send --host 127.0.0.2 --host 127.0.0.3 --port "$port" --local-port 0 --connect-timeout 10 -q \
  "$work/data/item.csv" > "$work/send.log" 2>&1 || fail "korima-send: $(cat "$work/send.log")"
for n in 1 2; do cmp "$work/cradle-$n.out" "$work/data/item.csv" || fail "cradle $n differs from the file"; done
echo "korima-send into two simulated cradles complete"

# A purge leaves nothing of the package behind: not its configuration, its
# log or its outbox either.
apt-get purge -y -qq -o DPkg::Lock::Timeout=300 korima > "$work/apt.log" 2>&1 || fail "apt-get purge: $(cat "$work/apt.log")"
dpkg-query -W -f='${Status}' korima 2>/dev/null | grep -q "ok installed" && fail "still installed"
left=()
while read -r path; do
  [[ -e $path && ! -d $path ]] && left+=("$path")
done <<<"$installed"
[[ ${#left[@]} -eq 0 ]] || fail "left behind: ${left[*]}"
for d in /usr/share/doc/korima /usr/share/icons/hicolor/scalable/apps/org.korima.Korima.svg /etc/korima /var/log/korima \
         /var/lib/korima; do
  [[ ! -e $d ]] || fail "left behind: $d"
done
echo "purged; nothing left"
echo "1 passed, 0 failed"
