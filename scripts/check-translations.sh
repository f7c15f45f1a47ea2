#!/usr/bin/env bash
# Fails when a text of the window has no English translation, a translation is marked unfinished, or the
# committed .ts file is not what lupdate makes of the sources now (a text added, changed or gone).
# Usage: check-translations.sh LUPDATE SOURCE_DIR
set -euo pipefail
lupdate=$1
root=$2
ts=$root/translations/velnorex_en.ts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/velnorex_en.ts"
"$lupdate" -no-obsolete -locations none -source-language pl_PL -target-language en_US \
  "$root"/app/*.cpp "$root"/recording/*.cpp "$root"/registers/*.cpp -ts "$work/velnorex_en.ts" >"$work/log" 2>&1 ||
  { cat "$work/log"; exit 1; }
status=0
if ! diff -u "$ts" "$work/velnorex_en.ts" >"$work/diff"; then
  echo "translations/velnorex_en.ts is not up to date with the sources (build the target velnorex_app_lupdate):"
  head -60 "$work/diff"
  status=1
fi
unfinished=$(grep -c 'type="unfinished"' "$work/velnorex_en.ts" || true)
empty=$(grep -c '<translation></translation>' "$work/velnorex_en.ts" || true)
total=$(grep -c '<source>' "$work/velnorex_en.ts" || true)
echo "translations: $total texts, $unfinished unfinished, $empty empty"
if [ "$unfinished" -ne 0 ] || [ "$empty" -ne 0 ]; then
  grep -B2 'type="unfinished"\|<translation></translation>' "$work/velnorex_en.ts" | grep '<source>' | head -40
  status=1
fi
exit $status
