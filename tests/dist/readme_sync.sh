#!/bin/bash
# README.md and README.ja.md say the same where a reader acts on it: the two
# Quick-start commands, the exit codes of korima-send, and the commands,
# headings and tables of the service and Ansible sections.
set -u
source_dir=$1
python3 - "$source_dir/README.md" "$source_dir/README.ja.md" <<'PY'
import re, sys

def quick_start(text):
    # The first sh block after the heading: the commands without their comments.
    m = re.search(r'^## (Quick start|クイックスタート)\n.*?```sh\n(.*?)```', text, re.S | re.M)
    return [line.split('#')[0].strip() for line in m.group(2).splitlines() if line.strip()] if m else None

def service_sections(text):
    # The two sections after "From a script": their subheadings, the commands
    # of their code blocks and the rows of their tables.
    parts = re.split(r'^## ', text, flags=re.M)
    i = next((i for i, p in enumerate(parts) if p.startswith(('From a script', 'スクリプトから'))), None)
    if i is None or len(parts) < i + 3:
        return None
    body = '## ' + '## '.join(parts[i + 1:i + 3])
    return (re.findall(r'^(#+) ', body, re.M),
            [[line.split('#')[0].strip() for line in block.splitlines() if line.split('#')[0].strip()]
             for block in re.findall(r'^```\w*\n(.*?)^```', body, re.S | re.M)],
            len(re.findall(r'^\|', body, re.M)))

def exit_codes(text):
    return [int(m.group(1)) for m in re.finditer(r'^\| (\d+) \|', text, re.M)]

en, ja = (open(p, encoding='utf-8').read() for p in sys.argv[1:3])
failures = []
if not quick_start(en) or quick_start(en) != quick_start(ja):
    failures.append(f"Quick start differs: {quick_start(en)} / {quick_start(ja)}")
if not exit_codes(en) or exit_codes(en) != exit_codes(ja):
    failures.append(f"exit codes differ: {exit_codes(en)} / {exit_codes(ja)}")
if not service_sections(en) or service_sections(en) != service_sections(ja):
    failures.append(f"the service and Ansible sections differ: {service_sections(en)} / {service_sections(ja)}")
for name, text, other in (("README.md", en, "README.ja.md"), ("README.ja.md", ja, "README.md")):
    if f"({other})" not in text.split('\n## ')[0]:
        failures.append(f"{name} does not link to {other} at the top")
for f in failures:
    print("FAIL:", f)
print(f"{4 - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
PY
