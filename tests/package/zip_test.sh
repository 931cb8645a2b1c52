#!/usr/bin/env bash
# Makes the zip from a Windows build and checks it: one folder holding
# exactly polyview.exe, the example, and the texts (with Windows line ends);
# the program a GUI program of the build's kind that imports nothing but
# Windows system libraries, so no DLL needs to come with it.
# Usage: zip_test.sh CPACK BUILD_DIR SOURCE_DIR VERSION BITS (32 or 64)
set -euo pipefail
cpack=$1 build=$2 source=$3 version=$4 bits=$5
. "$(dirname "$0")/package_test_lib.sh"
top=polyview-$version-win$bits
make_package ZIP "$top.zip"
zip=$package

expected=("$top/polyview.exe" "$top/README.txt" "$top/LICENSE.txt")
for f in "$source"/examples/*; do expected+=("$top/examples/${f##*/}"); done
(cd "$work" && cmake -E tar tf "$zip") | grep -v '/$' | sort >"$work/files"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "the zip's files differ from the expected ones (- missing, + unexpected)"

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
for text in README.txt LICENSE.txt; do
  file=$work/unpacked/$top/$text
  [ -f "$file" ] || continue
  lines=$(wc -l <"$file")
  [ "$lines" -gt 0 ] && [ "$(grep -c $'\r$' "$file")" -eq "$lines" ] || fail "$text has lines without CR LF"
done
grep -q "polyview $version" "$work/unpacked/$top/README.txt" || fail "README.txt does not name polyview $version"
format=pei-i386
[ "$bits" = 64 ] && format=pei-x86-64
"$source/scripts/check-imports.sh" "$work/unpacked/$top/polyview.exe" "$format" || fail "polyview.exe's imports or kind"

[ "$failures" -eq 0 ] || exit 1
echo "$zip: $(wc -l <"$work/files") files"
