#!/bin/bash
# README.md and README.ja.md say the same where a reader acts on it: the two
# Quick-start commands, and the exit codes of korima-send.
set -u
source_dir=$1
python3 - "$source_dir/README.md" "$source_dir/README.ja.md" <<'PY'
import re, sys

def quick_start(text):
    # The first sh block after the heading: the commands without their comments.
    m = re.search(r'^## (Quick start|クイックスタート)\n.*?```sh\n(.*?)```', text, re.S | re.M)
    return [line.split('#')[0].strip() for line in m.group(2).splitlines() if line.strip()] if m else None

def exit_codes(text):
    return [int(m.group(1)) for m in re.finditer(r'^\| (\d+) \|', text, re.M)]

en, ja = (open(p, encoding='utf-8').read() for p in sys.argv[1:3])
failures = []
if not quick_start(en) or quick_start(en) != quick_start(ja):
    failures.append(f"Quick start differs: {quick_start(en)} / {quick_start(ja)}")
if not exit_codes(en) or exit_codes(en) != exit_codes(ja):
    failures.append(f"exit codes differ: {exit_codes(en)} / {exit_codes(ja)}")
for name, text, other in (("README.md", en, "README.ja.md"), ("README.ja.md", ja, "README.md")):
    if f"({other})" not in text.split('\n## ')[0]:
        failures.append(f"{name} does not link to {other} at the top")
for f in failures:
    print("FAIL:", f)
print(f"{3 - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
PY
