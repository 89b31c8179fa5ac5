#!/usr/bin/env bash
# The message catalogue keeps up with the sources: the template holds exactly the texts extracted from them
# now, and every catalogue translates every one of those texts.
# Usage: CatalogueTest.sh SOURCE_DIR
set -uo pipefail

top=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/kalmora-catalogue.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0

if ! "$top/scripts/update-pot" --output "$work/fresh.pot" >/dev/null; then
  echo "FAILED: scripts/update-pot" >&2
  exit 1
fi
# Positions move with every edit; the texts are what must match.
msgcat --no-location --no-wrap --sort-output "$work/fresh.pot" -o "$work/fresh.sorted"
msgcat --no-location --no-wrap --sort-output "$top/po/kalmora-updater.pot" -o "$work/kept.sorted"
if ! diff -u <(grep "^msgid" "$work/kept.sorted") <(grep "^msgid" "$work/fresh.sorted") >&2; then
  echo "FAILED: po/kalmora-updater.pot is out of date; run scripts/update-pot" >&2
  failed=1
fi
for po in "$top"/po/*.po; do
  if ! msgcmp "$po" "$work/fresh.pot"; then
    echo "FAILED: $(basename "$po") does not translate every text" >&2
    failed=1
  fi
  if ! msgfmt --check -o /dev/null "$po"; then
    echo "FAILED: $(basename "$po") does not compile" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "catalogues complete"
exit "$failed"
