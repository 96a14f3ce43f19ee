#!/usr/bin/env bash
# check-translations.sh LUPDATE TS SOURCES: every text the windows under SOURCES mark for
# translation has a finished translation in TS. The texts are read again from the sources
# (into a copy: TS itself is left alone), so a text added to the code and never brought into
# TS fails as well as an entry left unfinished. Exit status 1 lists the texts concerned.
set -euo pipefail
lupdate=$1
ts=$2
sources=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/current.ts"
"$lupdate" -silent -no-obsolete -locations none "$sources" -ts "$work/current.ts" >/dev/null

entries=$(grep -c '<message>' "$work/current.ts" || true)
# New texts come in as type="unfinished"; an emptied translation would show the source text.
missing=$(grep -B4 -E '<translation></translation>|<translation */>|type="unfinished"' \
  "$work/current.ts" | grep -o '<source>.*' || true)
if [[ "$entries" -eq 0 ]]; then
  echo "$ts: no texts found under $sources" >&2
  exit 1
fi
if [[ -n "$missing" ]]; then
  echo "$ts: texts without a finished translation:" >&2
  echo "$missing" >&2
  exit 1
fi
echo "$ts: all $entries texts translated"
