#!/bin/bash
# Every text of korima-send marked for translation has its Japanese
# translation: lupdate run on the sources into a copy of the .ts file leaves
# no entry unfinished, and none that the sources no longer have.
set -u
lupdate=$1
source_dir=$2
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source_dir/translations/korima-send_ja.ts" "$work/check.ts"
"$lupdate" -locations none "$source_dir/src/send" -ts "$work/check.ts" \
  > "$work/lupdate.log" 2>&1 || fail "lupdate: $(cat "$work/lupdate.log")"
if grep -q 'type="unfinished"' "$work/check.ts"; then
  fail "untranslated: $(grep -B2 'type="unfinished"' "$work/check.ts" | grep '<source>' | head -5)"
fi
if grep -q 'type="vanished"\|type="obsolete"' "$work/check.ts"; then
  fail "translations of texts the sources no longer have: run lupdate -no-obsolete"
fi
echo "1 passed, 0 failed"
