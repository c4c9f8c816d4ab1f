#!/bin/bash
# What korima-send prints for people, in English and in Japanese.
# "help": every line of --help fits an 80-column terminal (a wide character
# counts two) and the descriptions of options and of exit codes each keep one
# column. "errors": under a Japanese locale, option errors (Qt's parser's own
# texts among them) hold no English.
set -u
send=$1
check=$2
locale -a | grep -qix 'ja_JP.utf8' || { echo "no ja_JP.UTF-8 locale: run scripts/deps.sh"; exit 77; }
python3 - "$send" "$check" <<'PY'
import os, re, subprocess, sys, unicodedata

send, check = sys.argv[1:3]
def run(lang, *args):
    env = dict(os.environ, LANG=lang, LC_ALL='', LANGUAGE='')
    return subprocess.run([send, *args], env=env, capture_output=True, text=True)
def width(s): return sum(1 + (unicodedata.east_asian_width(c) in 'WF') for c in s)
failures = []

if check == 'help':
    for lang, first in (('C', 'Usage: '), ('ja_JP.UTF-8', '使い方: ')):
        lines = run(lang, '--help').stdout.splitlines()
        if not lines or not lines[0].startswith(first):
            failures.append(f"LANG={lang}: --help does not start with {first!r}: {lines[:1]}")
        failures += [f"LANG={lang}: {width(l)} columns: {l}" for l in lines if width(l) > 80]
        # An item ("  --opt ARG   text", "  0    text") sets its column; the
        # lines that continue it start there.
        columns, column = {}, None
        for l in lines:
            item = re.match(r'(  (-\S|\d)(?:\S| \S)*\s{2,})\S', l)
            if item:
                column = width(item.group(1))
                columns.setdefault(item.group(2).isdigit(), set()).add(column)
            elif column and re.match(r' {3,}\S', l):
                if width(l) - width(l.lstrip()) != column:
                    failures.append(f"LANG={lang}: not in the column {column}: {l}")
            else:
                column = None
        for kind, found in columns.items():
            if len(found) != 1:
                failures.append(f"LANG={lang}: {'exit code' if kind else 'option'} descriptions in columns {sorted(found)}")
        if len(columns) != 2:
            failures.append(f"LANG={lang}: no options or no exit codes found")
elif check == 'errors':
    # An unknown option, a missing value and a value where none belongs: the
    # last two are worded by Qt's parser.
    for args in (['--bogus', 'x.csv'], ['x.csv', '--host'], ['--json=yes', 'x.csv']):
        r = run('ja_JP.UTF-8', *args)
        text = r.stderr.strip()
        left = re.sub(r"'[^']*'|korima-send|--help", '', text)
        if r.returncode != 2 or not text or re.search(r'[A-Za-z]{2,}', left):
            failures.append(f"{' '.join(args)}: exit {r.returncode}: {text}")
for f in failures: print('FAIL:', f)
print(f"{check}: {len(failures)} failed")
sys.exit(1 if failures else 0)
PY
