#!/bin/bash
# The Debian package end to end, as root on a CI machine without korima: installed with apt-get, the service's
# user and folders, its own command run as its user from the outbox into the installed simulator, its log
# rotated; the installed korima's first start as an unprivileged user under Xvfb; a purge that leaves nothing
# behind. Then the example playbook rolls it out again: the shop's configuration and outbox as the inventory
# says, a bad cradle refused by the dry check, a second run that changes nothing.
set -uo pipefail
source_dir=$1
deb=$2
fail() { echo "FAIL: $*"; [[ -f ${log:-} ]] && tail -40 "$log"; exit 1; }
[[ -f $deb ]] || fail "no package at $deb"
if [[ $(id -u) -ne 0 ]] || dpkg-query -W -f='${Status}' korima 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIP: needs root, and a machine without korima installed"
  exit 77
fi
work=$(mktemp -d)
chmod 755 "$work"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; apt-get purge -y -qq -o DPkg::Lock::Timeout=300 korima >/dev/null 2>&1
      rm -rf "$work" /var/cache/korima-deploy /var/lib/korima' EXIT
export DEBIAN_FRONTEND=noninteractive ANSIBLE_NOCOLOR=1 ANSIBLE_LOCALHOST_WARNING=0
apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "$deb" > "$work/apt.log" 2>&1 ||
  fail "apt-get install: $(cat "$work/apt.log")"
installed=$(dpkg -L korima) || fail "dpkg does not list korima"

# The service, shipped disabled: its user and folders; its own command line, as its user, from the outbox
# into two cradles of the installed simulator; the log it wrote rotated by logrotate without a new file.
[[ $(getent passwd korima | cut -d: -f7) == /usr/sbin/nologin ]] || fail "no system user korima: $(getent passwd korima)"
folders=$(stat -c '%n %U:%G %a' /var/log/korima /var/lib/korima/outbox | tr '\n' ' ')
[[ $folders == "/var/log/korima korima:adm 2750 /var/lib/korima/outbox root:root 755 " ]] || fail "the folders: $folders"
[[ -z $(find /etc/systemd/system -name korima-send.service) ]] || fail "korima-send.service was enabled on install"
runuser -u korima -- touch /var/lib/korima/outbox/x 2>/dev/null && fail "the service user can write the outbox"
port=$((20000 + RANDOM % 20000))
printf '127.0.0.%s:'$port'\n' 2 3 > /etc/korima/cradles.txt
printf 'A,1\r\nB,\x8f\xa4\x95\x69\r\n' > /var/lib/korima/outbox/items.csv  # root's, until the purge
korima-terminal-sim --cradles 2 --port "$port" --out "$work/cradle-%n.out" --once > "$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [[ $(grep -c listening "$work/sim.log") -eq 2 ]] && break; sleep 0.1; done
command=$(sed -n 's/^ExecStart=//p' /usr/lib/systemd/system/korima-send.service |
  sed 's/--repeat /--repeat=1 /; s/\$KORIMA_SEND_OPTS/--local-port 0/')
runuser -u korima -- $command || fail "the service's command ended with $?: $command"
for n in 1 2; do cmp "$work/cradle-$n.out" /var/lib/korima/outbox/items.csv || fail "cradle $n differs from the file"; done
logrotate -f -s "$work/logrotate.state" /etc/logrotate.d/korima || fail "logrotate failed"
[[ $(grep -c '"outcome":"complete"' /var/log/korima/transfers.jsonl.1) -eq 2 && ! -e /var/log/korima/transfers.jsonl ]] ||
  fail "not logged and rotated as the rule says: $(ls /var/log/korima)"
echo "service: user, folders, disabled, its command as its user, log rotation"

# The first start: the "File Read" box comes first, then the window; the settings file appears in the user's
# configuration folder and nowhere near the program.
source "$source_dir/tests/e2e/display.sh"
start_display 200
pids+=($display_pid)
home=$work/home
log=$work/korima.log
mkdir "$home" && chown nobody "$home"
runuser -u nobody -- env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 korima \
  > "$log" 2>&1 &
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
default_host=$(sed -n 's/.*kDefaultRemoteHost = "\(.*\)";/\1/p' "$source_dir/src/config/Settings.h")
[[ -n $default_host && $(cat "$ini") == $(printf '"%s","6000","%s","6001",0,0\r\n' "$home" "$default_host") ]] ||
  fail "the settings file holds: $(od -c "$ini" | head)"
[[ $(stat -c %U "$ini") == nobody && ! -e /usr/bin/korima.ini ]] || fail "the settings file is not the user's alone"
python3 "$source_dir/tests/e2e/close_window.py" "$main"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "korima did not exit"
echo "first start: box, window, settings in ~/.config/korima"

# A purge leaves nothing of the package behind: not its configuration, its log or its outbox either.
apt-get purge -y -qq -o DPkg::Lock::Timeout=300 korima > "$work/apt.log" 2>&1 || fail "apt-get purge: $(cat "$work/apt.log")"
left=$(for path in $installed; do [[ -e $path && ! -d $path ]] && echo "$path"; done
       ls -d /usr/share/doc/korima /etc/korima /var/log/korima /var/lib/korima 2>/dev/null)
[[ -z $left ]] || fail "left behind: $left"
echo "purged; nothing left"

# The playbook, over yesterday's file and a temporary left in the outbox. Loopback cradles only: where systemd
# runs, the service really starts.
log=$work/play.log
outbox=/var/lib/korima/outbox
mkdir -p "$work/files" "$outbox"
printf 'A,1\r\n' > "$work/files/items.csv"
printf 'B,2\r\n' > "$work/files/prices.csv"
touch "$outbox/old.csv" "$outbox/.items.csv.tmp"
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
play() { ansible-playbook -c local -i "$work/inventory.yml" "$source_dir/dist/ansible/site.yml" "$@" > "$log" 2>&1; }
play || fail "the first run failed"
[[ $(grep -v '^#' /etc/korima/cradles.txt) == $'127.0.0.2\n127.0.0.3:6001' ]] ||
  fail "cradles.txt: $(cat /etc/korima/cradles.txt)"
grep -qx 'KORIMA_SEND_OPTS="--port 6001"' /etc/default/korima-send || fail "options: $(cat /etc/default/korima-send)"
[[ $(ls -A "$outbox" | tr '\n' ' ') == "items.csv prices.csv " ]] || fail "the outbox holds: $(ls -A "$outbox")"
cmp -s "$work/files/items.csv" "$outbox/items.csv" && cmp -s "$work/files/prices.csv" "$outbox/prices.csv" ||
  fail "the outbox's files differ from the list's"
if [[ $(ps -p 1 -o comm=) == systemd ]]; then
  systemctl is-enabled --quiet korima-send && systemctl is-active --quiet korima-send || fail "the service is not running"
else
  grep -q 'korima-send.service was not enabled or started' "$log" || fail "the skipped service step says nothing"
fi
echo "playbook: package, cradles, options, outbox"
play -e '{"korima_cradles": ["127.0.0.2", "127.0.0.3:x"]}' && fail "a bad cradle was accepted"
grep -q ':[0-9]*: not a HOST or HOST:PORT' "$log" || fail "the dry check did not say why"
grep -qx '127.0.0.3:6001' /etc/korima/cradles.txt || fail "cradles.txt was replaced by a bad one"
play || fail "the second run failed"
changed=$(sed -n 's/^localhost *: ok=[0-9]* *changed=\([0-9]*\).*/\1/p' "$log")
[[ $changed == 0 ]] || fail "the second run changed ${changed:-?} things"
echo "playbook: a bad cradle refused; the second run changes nothing"
echo "1 passed, 0 failed"
