#!/usr/bin/env bash
# Every text the code looks up (Tr("...") or N_("...") in src/) has its
# Japanese in po/ja.po, and po/ja.po holds no text the code no longer uses.
#   catalogue_test.sh SOURCE_DIR
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$source"
find src -name '*.cpp' -o -name '*.hpp' | sort >"$work/files"
xgettext --from-code=UTF-8 --language=C++ -k -kTr -kN_ -f "$work/files" -o "$work/used.pot"
status=0
msgcmp po/ja.po "$work/used.pot" || { echo "FAIL: texts used in src/ without Japanese in po/ja.po" >&2; status=1; }
msgcmp --use-untranslated "$work/used.pot" po/ja.po ||
  { echo "FAIL: po/ja.po has texts src/ does not use" >&2; status=1; }
msgfmt --check -o /dev/null po/ja.po || { echo "FAIL: po/ja.po does not build" >&2; status=1; }
[ $status -eq 0 ] && echo "$(grep -c '^msgid "[^"]' "$work/used.pot") texts, all in po/ja.po"
exit $status
