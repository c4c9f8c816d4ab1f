#!/usr/bin/env python3
# The English and the Japanese documentation say the same things where a reader acts on them, section by
# section: README.md and README.ja.md (the tables' size and first cells, the examples' commands, inline code,
# a link to each other at the top), and each manual page and its Japanese twin (list entries, options,
# examples, SEE ALSO).
import re, sys, unicodedata
from pathlib import Path

src = Path(sys.argv[1])
# Words that stand for a value, as each language writes them.
PLACEHOLDERS = {'ファイル': 'file', 'テキスト': 'text', '番号': 'number'}

def norm(text):
    text = unicodedata.normalize('NFKC', text)
    for ja, en in PLACEHOLDERS.items():
        text = re.sub(rf'(?<![\w・]){ja}(?![\w・])', en, text)
    return re.sub(r'[\s"、,。.]', '', text)

# A row is known by its first cell (a status text or a value in code, not the words around it) and its numbers.
def row_key(row):
    return [norm(c) for c in re.findall(r'`([^`]+)`', row[0])] or norm(row[0]), [c.strip() for c in row if c.strip().isdigit()]

def readme(text):
    for part in re.split(r'^## .*\n', text, flags=re.M):
        blocks = re.findall(r'^```\w*\n(.*?)^```', part, re.S | re.M)
        prose = re.sub(r'^```.*?^```', '', part, flags=re.S | re.M)
        tables = [[row.strip('|').split('|') for row in t.strip().splitlines() if not row.startswith('|---')]
                  for t in re.findall(r'(?:^\|.*\n)+', prose, re.M)]
        yield {
            'examples': [[l.split('#')[0].strip() for l in b.splitlines() if l.strip()] for b in blocks],
            'tables': [(len(t), len(t[0]), [row_key(row) for row in t[1:]]) for t in tables],
            'inline code': sorted({norm(c) for c in re.findall(r'`([^`\n]+)`', prose)}),
            'subsections': len(re.findall(r'^### ', prose, re.M)),
        }

def roff(line):
    line = re.sub(r'\\f[BIRP]|\\&|\\e', '', line).replace('\\-', '-').replace('\\(lq', '"').replace('\\(rq', '"')
    return re.sub(r'^\.[A-Z]{1,2}\s+', '', line)

def manpage(text):
    for part in re.split(r'^\.SH .*\n', text, flags=re.M)[1:]:
        lines = part.splitlines()
        yield {
            'entries': [norm(roff(lines[i + 1])) for i, l in enumerate(lines[:-1]) if l.startswith('.TP')],
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

en, ja = ((src / n).read_text(encoding='utf-8') for n in ('README.md', 'README.ja.md'))
failures = compare('README', readme(en), readme(ja)) + [
    f"{name} does not link to {other} at the top" for name, text, other in
    (('README.md', en, 'README.ja.md'), ('README.ja.md', ja, 'README.md')) if f"({other})" not in text.split('\n## ')[0]]
pages = sorted((src / 'dist/man').glob('*.1'))
for page in pages:
    twin = src / 'dist/man/ja' / page.name
    failures += (compare(page.name, *(manpage(p.read_text(encoding='utf-8')) for p in (page, twin))) if twin.exists()
                 else [f"{page.name} has no Japanese twin"])
print(*(f"FAIL: {f}" for f in failures), f"README and {len(pages)} manual pages compared, {len(failures)} failed", sep='\n')
sys.exit(1 if failures or not pages else 0)
