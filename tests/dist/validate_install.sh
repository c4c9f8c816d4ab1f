#!/bin/bash
# Installs the build into a scratch DESTDIR and checks what a desktop expects:
# the desktop entry and the metainfo pass their validators with no error or
# warning, every icon size is there at its size, every command has its manual page.
set -euo pipefail
build=$1
fail() { echo "FAIL: $*"; exit 1; }
for tool in desktop-file-validate appstreamcli file; do
  command -v "$tool" >/dev/null || fail "missing $tool: run scripts/deps.sh"
done
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
root=$dest/usr
id=org.korima.Korima

[[ -x $root/bin/korima && -x $root/bin/korima-send && -x $root/bin/korima-terminal-sim ]] || fail "the commands are not installed"
out=$(desktop-file-validate "$root/share/applications/$id.desktop" 2>&1) || fail "desktop-file-validate: $out"
[[ -z $out ]] || fail "desktop-file-validate: $out"
grep -qx 'Exec=korima' "$root/share/applications/$id.desktop" || fail "Exec is not korima"
out=$(appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" 2>&1) || fail "appstreamcli: $out"
grep -qE '^(E|W):' <<<"$out" && fail "appstreamcli: $out"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo does not launch $id.desktop"
for size in 16 32 48 64 128 256; do
  png=$root/share/icons/hicolor/${size}x${size}/apps/$id.png
  [[ -f $png ]] || fail "no ${size}x${size} icon"
  file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not $size x $size: $(file "$png")"
done
[[ -f $root/share/icons/hicolor/scalable/apps/$id.svg ]] || fail "no scalable icon"
for cmd in korima korima-send korima-terminal-sim; do
  page=$root/share/man/man1/$cmd.1.gz
  [[ -f $page ]] || fail "no manual page for $cmd"
  if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$page" 2>&1 >/dev/null) || true
    [[ -z $warnings ]] || fail "manual page $cmd: $warnings"
  fi
done
for cmd in korima korima-send korima-terminal-sim; do
  page=$root/share/man/ja/man1/$cmd.1.gz
  [[ -f $page ]] || fail "no Japanese manual page for $cmd"
  if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$page" 2>&1 >/dev/null) || true
    [[ -z $warnings ]] || fail "Japanese manual page $cmd: $warnings"
    # Found by its name under a Japanese locale, and Japanese when it is.
    if locale -a | grep -qix 'ja_JP.utf8'; then
      [[ $(LC_ALL= LANGUAGE= LANG=ja_JP.UTF-8 MANPATH="$root/share/man" man -w "$cmd") == "$page" ]] ||
        fail "man under LANG=ja_JP.UTF-8 does not find the Japanese page of $cmd"
    fi
    [[ $(LC_ALL= LANGUAGE= LANG=C.UTF-8 MANPATH="$root/share/man" man -w "$cmd") == "$root/share/man/man1/$cmd.1.gz" ]] ||
      fail "man under LANG=C.UTF-8 does not find the English page of $cmd"
  fi
done
zcat "$root/share/man/man1/korima-send.1.gz" | grep -q '^\.SH "EXIT STATUS"' || fail "korima-send.1 has no exit codes"
[[ -f $root/share/doc/korima/copyright && -f $root/share/doc/korima/changelog.gz ]] || fail "no copyright or changelog"
grep -q "Korima Developers" "$root/share/doc/korima/copyright" || fail "copyright does not name Korima Developers"
echo "1 passed, 0 failed"
