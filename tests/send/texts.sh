#!/bin/bash
# What korima-send says to people: every text translated (lupdate into a copy of
# the .ts file leaves none unfinished or obsolete); --help within 80 columns in
# both languages (a wide character counts two), option and exit code descriptions
# each in one column; option errors under ja_JP, Qt's parser's too, in Japanese.
# Usage: texts.sh KORIMA_SEND LUPDATE SOURCE_DIR
set -u
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$3/translations/korima-send_ja.ts" "$work/check.ts"
"$2" -locations none "$3/src/send" -ts "$work/check.ts" > "$work/lupdate.log" 2>&1 || fail "lupdate: $(cat "$work/lupdate.log")"
stale='type="\(unfinished\|vanished\|obsolete\)"'
! grep -q "$stale" "$work/check.ts" || fail "untranslated, or no longer in the sources (lupdate -no-obsolete): $(
  grep -B2 "$stale" "$work/check.ts" | grep '<source>' | head -5)"
locale -a | grep -qix 'ja_JP.utf8' || { echo "SKIP: no ja_JP.UTF-8 locale: run scripts/deps.sh"; exit 77; }
python3 - "$1" <<'PY'
import os, re, subprocess, sys, unicodedata

def run(lang, *args):
    env = dict(os.environ, LANG=lang, LC_ALL='', LANGUAGE='')
    return subprocess.run([sys.argv[1], *args], env=env, capture_output=True, text=True)
def width(s): return sum(1 + (unicodedata.east_asian_width(c) in 'WF') for c in s)
failures = []
for lang, first in (('C', 'Usage: '), ('ja_JP.UTF-8', '使い方: ')):
    lines = run(lang, '--help').stdout.splitlines()
    if not lines or not lines[0].startswith(first):
        failures.append(f"LANG={lang}: --help does not start with {first!r}: {lines[:1]}")
    failures += [f"LANG={lang}: {width(l)} columns: {l}" for l in lines if width(l) > 80]
    # Where each description starts: after an item ("  --opt ARG   text",
    # "  0    text"), or the indent of a line that continues one.
    columns, kind = {'option': set(), 'exit code': set()}, None
    for l in lines:
        item = re.match(r'(  (-\S|\d)(?:\S| \S)*\s{2,})\S', l)
        if item:
            kind = 'exit code' if item.group(2).isdigit() else 'option'
            columns[kind].add(width(item.group(1)))
        elif kind and re.match(r' {3,}\S', l):
            columns[kind].add(len(l) - len(l.lstrip()))
        else:
            kind = None
    failures += [f"LANG={lang}: {kind} descriptions in columns {sorted(c)}" for kind, c in columns.items() if len(c) != 1]
# An unknown option, a missing value and a value where none belongs: the last
# two are worded by Qt's parser.
for args in (['--bogus', 'x.csv'], ['x.csv', '--host'], ['--json=yes', 'x.csv']):
    r = run('ja_JP.UTF-8', *args)
    text = r.stderr.strip()
    if r.returncode != 2 or not text or re.search(r'[A-Za-z]{2,}', re.sub(r"'[^']*'|korima-send|--help", '', text)):
        failures.append(f"{' '.join(args)}: exit {r.returncode}: {text}")
print(*(f'FAIL: {f}' for f in failures), f"{len(failures)} failed", sep='\n')
sys.exit(1 if failures else 0)
PY
