#!/bin/bash
# What korima-send says to people: every text marked for translation has its
# Japanese translation (lupdate into a copy of the .ts file leaves none
# unfinished or obsolete); every line of --help fits 80 columns in both
# languages (a wide character counts two), the descriptions of options and of
# exit codes each in one column; option errors under a Japanese locale, Qt's
# parser's own among them, hold no English.
# Usage: texts.sh KORIMA_SEND LUPDATE SOURCE_DIR
set -u
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$3/translations/korima-send_ja.ts" "$work/check.ts"
"$2" -locations none "$3/src/send" -ts "$work/check.ts" > "$work/lupdate.log" 2>&1 || fail "lupdate: $(cat "$work/lupdate.log")"
! grep -q 'type="unfinished"' "$work/check.ts" ||
  fail "untranslated: $(grep -B2 'type="unfinished"' "$work/check.ts" | grep '<source>' | head -5)"
! grep -q 'type="vanished"\|type="obsolete"' "$work/check.ts" ||
  fail "translations of texts the sources no longer have: run lupdate -no-obsolete"
locale -a | grep -qix 'ja_JP.utf8' || { echo "SKIP: no ja_JP.UTF-8 locale: run scripts/deps.sh"; exit 77; }
python3 - "$1" <<'PY'
import os, re, subprocess, sys, unicodedata

def run(lang, *args):
    return subprocess.run([sys.argv[1], *args], env=dict(os.environ, LANG=lang, LC_ALL='', LANGUAGE=''), capture_output=True, text=True)
def width(s): return sum(1 + (unicodedata.east_asian_width(c) in 'WF') for c in s)
failures = []
for lang, first in (('C', 'Usage: '), ('ja_JP.UTF-8', '使い方: ')):
    lines = run(lang, '--help').stdout.splitlines()
    if not lines or not lines[0].startswith(first):
        failures.append(f"LANG={lang}: --help does not start with {first!r}: {lines[:1]}")
    failures += [f"LANG={lang}: {width(l)} columns: {l}" for l in lines if width(l) > 80]
    # An item ("  --opt ARG   text", "  0    text") sets its column; the lines
    # that continue it start there.
    columns, column = {'option': set(), 'exit code': set()}, None
    for l in lines:
        item = re.match(r'(  (-\S|\d)(?:\S| \S)*\s{2,})\S', l)
        if item:
            column = width(item.group(1))
            columns['exit code' if item.group(2).isdigit() else 'option'].add(column)
        elif column and re.match(r' {3,}\S', l):
            if width(l) - width(l.lstrip()) != column:
                failures.append(f"LANG={lang}: not in the column {column}: {l}")
        else:
            column = None
    failures += [f"LANG={lang}: {kind} descriptions in columns {sorted(c)}" for kind, c in columns.items() if len(c) != 1]
# An unknown option, a missing value and a value where none belongs: the last
# two are worded by Qt's parser.
for args in (['--bogus', 'x.csv'], ['x.csv', '--host'], ['--json=yes', 'x.csv']):
    r = run('ja_JP.UTF-8', *args)
    text = r.stderr.strip()
    if r.returncode != 2 or not text or re.search(r'[A-Za-z]{2,}', re.sub(r"'[^']*'|korima-send|--help", '', text)):
        failures.append(f"{' '.join(args)}: exit {r.returncode}: {text}")
for f in failures: print('FAIL:', f)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
PY
