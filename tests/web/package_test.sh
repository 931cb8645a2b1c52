#!/usr/bin/env bash
# Makes the web zip and checks it: one folder holding exactly the page, the
# program, the example and the texts; unpacked where the browser tests
# serve it from.
# Usage: package_test.sh CPACK BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
cpack=$1 build=$2 source=$3 version=$4
work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
if ! (cd "$build" && "$cpack" -G ZIP -B "$work" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G ZIP" >&2
  exit 1
fi
top=polyview-$version-web
zip=$work/$top.zip
[ -f "$zip" ] || { echo "FAIL: cpack made no $zip" >&2; ls "$work" >&2; exit 1; }

expected=("$top/polyview.html" "$top/polyview.js" "$top/README.txt" "$top/LICENSE.txt")
for f in "$source"/examples/*; do expected+=("$top/examples/${f##*/}"); done
(cd "$work" && cmake -E tar tf "$zip") | grep -v '/$' | sort >"$work/files"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/files" >&2; then
  echo "FAIL: the zip's files differ from the expected ones (- missing, + unexpected)" >&2
  exit 1
fi
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
grep -q "polyview $version" "$work/unpacked/$top/polyview.html" || { echo "FAIL: the page does not name polyview $version" >&2; exit 1; }
size() { stat -c %s "$1"; }
echo "polyview.html $(size "$work/unpacked/$top/polyview.html") bytes, polyview.js $(size "$work/unpacked/$top/polyview.js") bytes, $top.zip $(size "$zip") bytes"
echo "PASS: $top.zip"
