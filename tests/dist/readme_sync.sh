#!/bin/bash
# The English and the Japanese documentation say the same things where a
# reader acts on them. "readme": README.md and README.ja.md, section by
# section: the same tables (rows, columns, first cells), the same commands in
# the examples, the same inline code. "man": each manual page and its Japanese
# twin, section by section: the same list entries, options, examples and SEE ALSO.
set -u
source_dir=$1
kind=${2:-readme}
python3 - "$source_dir" "$kind" <<'PY'
import re, sys, unicodedata
from pathlib import Path

src, kind = Path(sys.argv[1]), sys.argv[2]
# Words that stand for a value, as each language writes them.
PLACEHOLDERS = {'ファイル': 'file', 'テキスト': 'text', '番号': 'number'}

def norm(text):
    text = unicodedata.normalize('NFKC', text)
    for ja, en in PLACEHOLDERS.items():
        text = re.sub(rf'(?<![\w・]){ja}(?![\w・])', en, text)
    return re.sub(r'[\s"、,。.]', '', text)

# A status text or a value in code is what is compared, not the words around it.
def first_cell(cell):
    return [norm(c) for c in re.findall(r'`([^`]+)`', cell)] or norm(cell)

def readme(text):
    text = re.sub(r'^# .*\n', '', text)
    for part in re.split(r'^## .*\n', text, flags=re.M):
        blocks = re.findall(r'^```\w*\n(.*?)^```', part, re.S | re.M)
        prose = re.sub(r'^```.*?^```', '', part, flags=re.S | re.M)
        tables = [[row.strip('|').split('|') for row in t.strip().splitlines() if not row.startswith('|---')]
                  for t in re.findall(r'(?:^\|.*\n)+', prose, re.M)]
        yield {
            'examples': [[l.split('#')[0].strip() for l in b.splitlines() if l.strip()] for b in blocks],
            'tables': [(len(t), len(t[0]), [first_cell(row[0]) for row in t[1:]]) for t in tables],
            'inline code': sorted({norm(c) for c in re.findall(r'`([^`\n]+)`', prose)}),
        }

def roff(line):
    line = re.sub(r'\\f[BIRP]|\\&|\\e', '', line).replace('\\-', '-').replace('\\(lq', '"').replace('\\(rq', '"')
    return re.sub(r'^\.[A-Z]{1,2}\s+', '', line)

def manpage(text):
    for part in re.split(r'^\.SH .*\n', text, flags=re.M)[1:]:
        lines = part.splitlines()
        tags = [norm(roff(lines[i + 1])) for i, l in enumerate(lines[:-1]) if l.startswith('.TP')]
        yield {
            'entries': tags,
            'examples': re.findall(r'^\.nf\n(.*?)^\.fi', part, re.S | re.M),
            'options': sorted(set(re.findall(r'(?<![\w-])--?[a-z][a-z-]*', roff(part)))),
            'pages': sorted(set(re.findall(r'([a-z-]+)\s*\((\d)\)', roff(part)))),
            'subsections': len(re.findall(r'^\.SS', part, re.M)),
        }

def compare(name, en, ja):
    en, ja = list(en), list(ja)
    return ([f"{name}: {len(en)} sections in English, {len(ja)} in Japanese"] if len(en) != len(ja) else []) + [
        f"{name}, section {n}: {key} differ:\n  en {e[key]}\n  ja {j[key]}"
        for n, (e, j) in enumerate(zip(en, ja)) for key in e if e[key] != j[key]]

failures, checks = [], 0
if kind == 'readme':
    en, ja = ((src / n).read_text(encoding='utf-8') for n in ('README.md', 'README.ja.md'))
    failures += compare('README', readme(en), readme(ja))
    for name, text, other in (('README.md', en, 'README.ja.md'), ('README.ja.md', ja, 'README.md')):
        if f"({other})" not in text.split('\n## ')[0]:
            failures.append(f"{name} does not link to {other} at the top")
    checks = 3
else:
    for page in sorted((src / 'dist/man').glob('*.1')):
        twin = src / 'dist/man/ja' / page.name
        if not twin.exists():
            failures.append(f"{page.name} has no Japanese twin")
            continue
        failures += compare(page.name, manpage(page.read_text(encoding='utf-8')), manpage(twin.read_text(encoding='utf-8')))
        checks += 1
for f in failures:
    print("FAIL:", f)
print(f"{checks} compared, {len(failures)} failed")
sys.exit(1 if failures or not checks else 0)
PY
