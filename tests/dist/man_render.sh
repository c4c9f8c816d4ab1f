#!/bin/bash
# The built manual pages as man shows them at 80 columns, under a Japanese locale and under C (a bare ssh
# session, cron): no troff warning, no line wider than 80 columns (a wide character counts two). The Japanese
# pages break lines only where Japanese typesetting allows it, at any width, with no stray blank beside their
# punctuation; whatis and apropos read their NAME lines cleanly from an index of their own.
set -u
command -v man >/dev/null && command -v mandb >/dev/null || { echo "no man-db: skipped"; exit 77; }
locale -a | grep -qix 'ja_JP.utf8' || { echo "no ja_JP.UTF-8 locale: run scripts/deps.sh"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# plain/ is outside a ja/ folder: read from there (man -l), groff gets no Japanese classes or hyphenation.
mkdir -p "$work/man/man1" "$work/man/ja/man1" "$work/plain"
cp "$1"/dist/*.1.gz "$work/man/man1/" && cp "$1"/dist/ja/*.1.gz "$work/man/ja/man1/" && cp "$1"/dist/ja/*.1.gz "$work/plain/" ||
  exit 1
# A scratch index, the system's never touched; no formatted copies, so every page is rendered anew.
mandb -q "$work/man" >/dev/null 2>&1 && mandb -q "$work/man/ja" >/dev/null 2>&1 || { echo "FAIL: mandb"; exit 1; }
rm -rf "$work"/man/cat? "$work"/man/ja/cat?
exec python3 - "$work/man" <<'PY'
import gzip, itertools, os, re, subprocess, sys, unicodedata
from pathlib import Path

root = Path(sys.argv[1])
pages = sorted(p.name[:-5] for p in (root / 'man1').glob('*.1.gz'))
failures = []
def width(s): return sum(1 + (unicodedata.east_asian_width(c) in 'WF') for c in s)
def run(*args, lang='ja_JP.UTF-8', columns=80):
    env = dict(os.environ, LANG=lang, LC_ALL='', LANGUAGE='', MANPATH=str(root), MANWIDTH=str(columns))
    r = subprocess.run(args, env=env, capture_output=True, text=True)
    return r.stdout, r.stderr

HALF = r'\uFF61-\uFF9F'
NO_START = re.compile(r'^\s*[、。，．」』）］｝〉》】〕・：；！？ー〜ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶｧｨｩｪｫｬｭｮｯｰﾞﾟ)\]}>:;,.!?]')
NO_END = re.compile(r'[「『（［｛〈《【〔〜‐]$')
RUN = re.compile(rf'[{HALF}]$')
STRAY = re.compile(r'(?<=[、。「（]) | (?=[、。」）])|(?<=[\u3000-\u9FFF\uFF01-\uFF5E]) (?=[\u3000-\u9FFF\uFF01-\uFF5E])')

def breaks(lines, where):
    for a, b in zip(lines, lines[1:] + ['']):
        same_paragraph = b.strip() and len(a) - len(a.lstrip()) == len(b) - len(b.lstrip())
        bad = (NO_END.search(a) and 'ends in an opening bracket or a hyphen') or (same_paragraph and (
            (NO_START.match(b) and 'next starts with a closer') or
            (a.count('「') > a.count('」') and 'quoted text split') or
            (RUN.search(a) and re.match(rf'\s*[{HALF}\x21-\x7e]', b) and 'half-width run cut')))
        # The socket error's status text itself holds 「。 」.
        if not bad and STRAY.search(a.replace('ください。 ', 'ください。')): bad = 'stray blank'
        if bad: failures.append(f"{where}: {bad}: {a.strip()} / {b.strip()}")

for name in pages:
    for lang, page_lang in itertools.product(('ja_JP.UTF-8', 'C'), ('C', 'ja')):
        out, err = run('man', '--warnings', '-L', page_lang, name, lang=lang)
        where = f"{name} ({page_lang}) under LANG={lang}"
        if err.strip(): failures.append(f"{where}: {err.strip()[:300]}")
        failures += [f"{where}: {width(l)} columns: {l}" for l in out.splitlines() if width(l) > 80]
    # The Japanese page's line breaks at every width a terminal may have, and read as a file from elsewhere.
    for columns in range(64, 81, 2):
        breaks(run('man', '-L', 'ja', name, columns=columns)[0].splitlines(), f"{name} (ja) at {columns} columns")
    breaks(run('man', '-l', str(root.parent / 'plain' / f'{name}.1.gz'))[0].splitlines(), f"man -l {name} (ja)")
    source = gzip.open(root / 'ja/man1' / f'{name}.1.gz', 'rt', encoding='utf-8').read()
    desc = re.search(r'^\.SH 名前\n(.*)\n', source, re.M).group(1)
    if '\\:' in desc: failures.append(f"{name}: break points in NAME: {desc}")
    if re.search(rf'[{HALF}]\\:|\\:[{HALF}]', source): failures.append(f"{name}: a break point beside half-width kana")
    got, want = run('whatis', '-l', name)[0], desc.split('\\- ', 1)[1]
    if f"- {want}" not in got: failures.append(f"whatis {name}: {got.strip()!r}, not {want!r}")
found = run('apropos', 'クレードル')[0]
missing = [n for n in pages if not re.search(rf'^{re.escape(n)} \(1\)', found, re.M)]
if missing: failures.append(f"apropos クレードル: {missing} not found in {found.strip()!r}")
print(*(f"FAIL: {f}" for f in failures), f"{len(pages)} pages checked, {len(failures)} failed", sep='\n')
sys.exit(1 if failures or not pages else 0)
PY
