#!/bin/bash
# The role and the example as Ansible's own tools see them: ansible-lint
# offline with no failure or warning, and the playbook's syntax check.
set -uo pipefail
cd "$1/dist/ansible" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
for tool in ansible-lint ansible-playbook; do
  command -v "$tool" >/dev/null || fail "no $tool: run scripts/deps.sh"
done
out=$(ansible-lint --offline --nocolor site.yml roles/korima inventory.yml 2>&1) || fail "ansible-lint: $out"
grep -q ' 0 failure(s), 0 warning(s)' <<<"$out" || fail "ansible-lint: $out"
out=$(ansible-playbook --syntax-check -i inventory.yml site.yml 2>&1) || fail "syntax check: $out"
echo "1 passed, 0 failed"
