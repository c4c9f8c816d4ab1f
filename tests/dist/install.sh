#!/bin/bash
# What gets installed, staged in a scratch tree, as a desktop and the service's own tools see it: the desktop
# entry and the metainfo pass their validators, every icon size is there, every command has its manual page
# in both languages; the unit verifies, its sandbox rates 2.0 or lower, the user's sysusers line parses, and
# the unit's own command line runs, its paths in the staged tree, as an unprivileged user against four
# simulated cradles, terminal after terminal. Ansible: the role and the example lint clean offline.
set -uo pipefail
build=$1
source_dir=$2
sim=$3
fail() { echo "FAIL: $*"; exit 1; }
out=$(hash desktop-file-validate appstreamcli file systemd-analyze systemd-sysusers ansible-lint 2>&1) ||
  fail "$out: run scripts/deps.sh"
root=$(mktemp -d)
trap 'kill ${sim_pid:-} 2>/dev/null; rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"
usr=$root/usr
id=org.korima.Korima
out=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1) && [[ -z $out ]] || fail "desktop-file-validate: $out"
grep -qx 'Exec=korima' "$usr/share/applications/$id.desktop" || fail "Exec is not korima"
out=$(appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" 2>&1) && ! grep -qE '^(E|W):' <<<"$out" ||
  fail "appstreamcli: $out"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$usr/share/metainfo/$id.metainfo.xml" || fail "launchable"
for size in 16 32 48 64 128 256; do
  file "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "PNG image data, $size x $size" || fail "no $size icon"
done
[[ -f $usr/share/icons/hicolor/scalable/apps/$id.svg ]] || fail "no scalable icon"
for cmd in korima korima-send korima-terminal-sim; do
  [[ -x $usr/bin/$cmd && -f $usr/share/man/man1/$cmd.1.gz && -f $usr/share/man/ja/man1/$cmd.1.gz ]] ||
    fail "$cmd or its manual page in either language is not installed"
done
grep -q "Korima Developers" "$usr/share/doc/korima/copyright" && [[ -f $usr/share/doc/korima/changelog.gz ]] ||
  fail "no copyright or changelog"

unit=$usr/lib/systemd/system/korima-send.service
# The system's own units (the targets it depends on) beside it, and its manual page where the staged tree has it.
cp -an /usr/lib/systemd/system/. "$usr/lib/systemd/system/"
out=$(MANPATH=$usr/share/man systemd-analyze verify --root="$root" "$unit" 2>&1) && [[ -z $out ]] ||
  fail "systemd-analyze verify: $out"
out=$(systemd-analyze security --offline=true --root="$root" "$unit" 2>&1)
level=$(sed -n 's/.*Overall exposure level for korima-send.service: \([0-9.]*\).*/\1/p' <<<"$out")
stated=$(sed -n 's/.*`systemd-analyze security` rates the unit \([0-9.]*\).*/\1/p' "$source_dir/README.md")
[[ -n $level && $level == "$stated" ]] || fail "exposure ${level:-?}, the README says ${stated:-nothing}: $out"
# Each option the README's sandbox table names, set as it says.
missing=$(sed -n '/^### The sandbox/,/^Left out/s/^| \([^|]*\) | .*/\1/p' "$source_dir/README.md" | grep -o '`[A-Za-z]*=[^`]*`' |
  tr -d '`' | while read -r option; do grep -q "^$option" "$unit" || echo "$option"; done)
[[ -z $missing ]] || fail "the unit lacks what the README says: $missing"
out=$(systemd-sysusers --root="$root" --dry-run 2>&1)
grep -q "Creating user 'korima'" <<<"$out" && ! grep -q '\.conf:[0-9]*:' <<<"$out" || fail "systemd-sysusers: $out"

port=$((20000 + RANDOM % 20000))
mkdir -p "$root/var/log/korima"
printf '127.0.0.%s:'$port'\n' 2 3 4 5 > "$root/etc/korima/cradles.txt"
printf 'A,1\r\nB,2\r\n' > "$root/var/lib/korima/outbox/items.csv"
"$sim" --cradles 4 --port "$port" --out "$root/recv-%n.out" > "$root/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [[ $(grep -c listening "$root/sim.log") -eq 4 ]] && break; sleep 0.1; done
as=()
if [[ $(id -u) -eq 0 ]]; then chmod -R a+rX "$root"; chown nobody "$root/var/log/korima"; as=(runuser -u nobody --); fi
command=$(sed -n "s|\\\$KORIMA_SEND_OPTS|--local-port 0|; s|--repeat |--repeat=3 |
                  s|/usr/|$usr/|; s|/etc/|$root/etc/|; s|/var/|$root/var/|g; s/^ExecStart=//p" "$unit")
"${as[@]}" $command || fail "the unit's command ended with $?: $command"
log=$root/var/log/korima/transfers.jsonl
[[ $(grep -c '"outcome":"complete"' "$log") -eq 12 ]] || fail "not 4 cradles x 3 terminals complete: $(cat "$log")"
for n in 1 2 3 4; do cmp -s "$root/recv-$n.out" "$root/var/lib/korima/outbox/items.csv" || fail "cradle $n"; done

cd "$source_dir/dist/ansible" || fail "no dist/ansible"
out=$(ansible-lint --offline --nocolor site.yml roles/korima inventory.yml 2>&1)
grep -q ' 0 failure(s), 0 warning(s)' <<<"$out" || fail "ansible-lint: $out"
echo "1 passed, 0 failed"
