#!/usr/bin/env bash
# Pictures through the Windows build's OLE picture service (under Wine)
# against the Linux build's picture service: every good BMP of the suite,
# and JPEG and GIF pictures made here, must give a texture of the same size
# that shows the same picture (compared after a 4x box reduction, which
# evens out the two services' scaling filters), with alpha 0 exactly where
# the colour is pure black. Every bad BMP is refused or loaded, and the
# program ends normally. Run it on an X display (Wine's OpenGL needs one).
# Usage: picture_compare.sh DUMP.EXE POLYVIEW_TOOL BMPSUITE
set -euo pipefail
dump=$1 tool=$2 suite=$3
for t in wine convert compare; do
  command -v "$t" >/dev/null || { echo "SKIPPED: $t is not installed"; exit 77; }
done
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT
mkdir "$work/pictures" "$work/windows"

cp "$suite"/g/*.bmp "$work/pictures/"
convert -size 300x100 gradient:'#ff2000-#0040ff' -fill black -draw 'rectangle 20,20 60,60' \
  -fill white -draw 'circle 200,50 230,50' "$work/pictures/made.jpg"
convert -size 181x182 plasma:fractal -seed 7 +dither -colors 64 "$work/pictures/made.gif" 2>/dev/null ||
  convert -size 181x182 gradient:green-yellow -colors 64 "$work/pictures/made.gif"

winpath() { echo "Z:${1//\//\\}"; }
pictures=()
for p in "$work"/pictures/*; do pictures+=("$(winpath "$p")"); done
wine "$dump" "$(winpath "$work/windows")" "${pictures[@]}" | tr -d '\r' >"$work/windows.txt"

failures=0
while read -r name size _ alphaErrors; do
  picture="$work/pictures/$name"
  if [ "$size" = refused ]; then
    echo "FAIL: $name refused by the Windows build"
    failures=$((failures + 1))
    continue
  fi
  linuxSize=$("$tool" texture "$picture" --out "$work/$name.png" | awk '/^texture/ { print $2 }')
  convert "$work/$name.png" -alpha off -filter Box -resize 25% "$work/a.png"
  convert "$work/windows/$name.pam" -alpha off -filter Box -resize 25% "$work/b.png"
  rmse=$( (compare -metric RMSE "$work/a.png" "$work/b.png" null: 2>&1 || true) | sed 's/.*(\(.*\))/\1/')
  verdict=ok
  [ "$size" = "$linuxSize" ] || verdict="size $size on Windows, $linuxSize on Linux"
  [ "$alphaErrors" = 0 ] || verdict="$alphaErrors texels break the alpha rule"
  awk -v r="$rmse" 'BEGIN { exit !(r < 0.05) }' || verdict="pictures differ (RMSE $rmse)"
  printf '%-20s %-9s RMSE %-9s %s\n' "$name" "$size" "$rmse" "$verdict"
  [ "$verdict" = ok ] || failures=$((failures + 1))
done <"$work/windows.txt"
checked=$(wc -l <"$work/windows.txt")
[ "$checked" -eq "${#pictures[@]}" ] || { echo "FAIL: $checked results for ${#pictures[@]} pictures"; exit 1; }

# Bad and questionable files: each is answered, and the program ends with 0.
bad=()
for p in "$suite"/b/*.bmp "$suite"/q/*.bmp; do bad+=("$(winpath "$p")"); done
if ! timeout 300 wine "$dump" "$(winpath "$work/windows")" "${bad[@]}" | tr -d '\r' >"$work/bad.txt"; then
  echo "FAIL: the Windows build did not get through the bad and questionable files"
  exit 1
fi
answered=$(wc -l <"$work/bad.txt")
echo "bad and questionable files: $answered of ${#bad[@]} answered ($(grep -c refused "$work/bad.txt") refused)"
[ "$answered" -eq "${#bad[@]}" ] || failures=$((failures + 1))

[ "$failures" = 0 ] || { echo "FAIL: $failures pictures"; exit 1; }
echo "PASS: $checked pictures alike on both builds"
