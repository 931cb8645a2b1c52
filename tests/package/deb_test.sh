#!/usr/bin/env bash
# Makes the Debian package from a Linux build and checks it as apt would get
# it: exactly the expected files with Debian's owners and modes, the control
# fields (Depends computed from the programs), and, unpacked into a scratch
# root, programs that give the build's version and draw the installed example
# as the build draws the source one, and manual pages that render without
# warnings and describe every option the programs offer.
# The desktop's files pass their own tools (desktop-file-validate, xmllint),
# the installed MIME database names the model type by name and content and
# leaves other .m files alone, the thumbnailer's command draws what snapshot
# draws, and lintian finds no error.
# Usage: deb_test.sh CPACK BUILD_DIR SOURCE_DIR VERSION BUILT_TOOL
set -euo pipefail
cpack=$1 build=$2 source=$3 version=$4 builtTool=$5
. "$(dirname "$0")/package_test_lib.sh"
arch=$(dpkg --print-architecture)
make_package DEB "polyview_${version}_${arch}.deb"
deb=$package

# Files: exactly these, nothing from the tests, benchmarks or fuzz targets.
expected=(
  ./usr/bin/polyview
  ./usr/bin/polyview-tool
  ./usr/share/applications/polyview.desktop
  ./usr/share/doc/polyview/LICENSE
  ./usr/share/doc/polyview/README.md
  ./usr/share/doc/polyview/changelog.gz
  ./usr/share/doc/polyview/copyright
  ./usr/share/icons/hicolor/scalable/apps/polyview.svg
  ./usr/share/man/man1/polyview-tool.1.gz
  ./usr/share/man/man1/polyview.1.gz
  ./usr/share/mime/packages/polyview.xml
  ./usr/share/thumbnailers/polyview.thumbnailer
)
for size in 16 22 24 32 48 64 128 256; do expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/polyview.png"); done
for f in "$source"/examples/*; do expected+=("./usr/share/polyview/examples/${f##*/}"); done
dpkg-deb -c "$deb" >"$work/contents"
awk '$6 !~ /\/$/ { print $6 }' "$work/contents" | sort >"$work/files"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "the package's files differ from the expected ones (- missing, + unexpected)"
awk '$2 != "root/root" { print "  " $6 " is owned by " $2 }
     $6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" { print "  " $6 " has mode " $1 }
     $6 !~ /^\.\/usr\/bin\// && $6 !~ /\/$/ && $1 != "-rw-r--r--" { print "  " $6 " has mode " $1 }
     $6 ~ /\/$/ && $1 != "drwxr-xr-x" { print "  " $6 " has mode " $1 }' \
  "$work/contents" >"$work/modes"
[ -s "$work/modes" ] && { cat "$work/modes" >&2; fail "owners or modes are not root/root, 0755 and 0644"; }

# Control fields.
dpkg-deb -I "$deb" >"$work/info" || fail "dpkg-deb -I cannot read the package"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = polyview ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the build's is $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture), not $arch"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 2 ] || fail "no long description: $(field Description)"
depends=$(field Depends)
# Versioned entries come from dpkg-shlibdeps, which reads the programs' links.
for lib in 'libc6 (>= ' 'libsdl2-2.0-0 (>= ' 'libjpeg62-turbo (>= ' 'libspng0 (>= ' 'libgif7 (>= ' 'libassimp' 'libegl1' 'libgl1'; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends does not name '$lib': $depends"
done

# The programs and manual pages as they come out of the package.
root=$work/root
dpkg-deb -x "$deb" "$root"
tool=$root/usr/bin/polyview-tool viewer=$root/usr/bin/polyview
[ "$("$tool" --version)" = "polyview-tool $version" ] || fail "polyview-tool --version: $("$tool" --version)"
[ "$("$viewer" --version)" = "polyview $version" ] || fail "polyview --version: $("$viewer" --version)"
if "$tool" snapshot --dir "$root/usr/share/polyview/examples" --out "$work/installed.png" &&
   "$builtTool" snapshot --dir "$source/examples" --out "$work/built.png"; then
  cmp -s "$work/installed.png" "$work/built.png" ||
    fail "the installed tool draws the installed example other than the build draws examples/"
else
  fail "snapshot of the installed example"
fi

man1=$root/usr/share/man/man1
for page in polyview polyview-tool; do
  gzip -t "$man1/$page.1.gz" || { fail "$page.1.gz is not gzip"; continue; }
  zcat "$man1/$page.1.gz" >"$work/$page.1"
  warnings=$(groff -man -Tutf8 -ww -z "$work/$page.1" 2>&1)
  [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
done
# Every option that --help names is an item (.TP) of its page, and every
# command of polyview-tool has a section (.SS).
described() {  # PAGE OPTION; a hyphen inside the name may be written \- too
  local name=${2#--}
  grep -A1 '^\.TP' "$1" | grep -q -E "^\.B[IR]? \\\\-\\\\-${name//-/(\\\\)?-}( |$)"
}
for opt in $("$tool" --help | grep -o -E -- '--[a-z][a-z-]*' | sort -u); do
  described "$work/polyview-tool.1" "$opt" || fail "polyview-tool.1 has no item for $opt"
done
for cmd in $("$tool" --help | sed -n -E 's/^  ([a-z]+)( .*)?$/\1/p' | sort -u); do
  grep -q -E "^\.SS $cmd( |$)" "$work/polyview-tool.1" || fail "polyview-tool.1 has no section for '$cmd'"
done
for opt in $("$viewer" --help | grep -o -E -- '--[a-z][a-z-]*' | sort -u); do
  described "$work/polyview.1" "$opt" || fail "polyview.1 has no item for $opt"
done

# The desktop, from the scratch root: a MIME database of its own over the
# system's (whose Objective-C and MATLAB types claim *.m), asked as a GNOME
# desktop's xdg-mime asks, through GIO.
share=$root/usr/share
desktop-file-validate "$share/applications/polyview.desktop" || fail "desktop-file-validate"
xmllint --noout "$share/mime/packages/polyview.xml" "$share/icons/hicolor/scalable/apps/polyview.svg" ||
  fail "xmllint"
update-mime-database "$share/mime" || fail "update-mime-database"
filetype() {
  XDG_DATA_HOME=$share XDG_DATA_DIRS=/usr/share XDG_CURRENT_DESKTOP=GNOME GIO_USE_VFS=local \
    xdg-mime query filetype "$1" 2>/dev/null
}
printf '\xef\xbb\xbf# with a mark\r\nUcgenSayisi >> 0\r\n' >"$work/marked.m"
printf '\xef\xbb\xbfUcgenSayisi >> 0\n' >"$work/marked"
printf 'x = 1;\ndisp(x)\n' >"$work/plain.m"  # MATLAB or Objective-C: no magic of theirs
for file in "$share/polyview/examples/poligon.m" "$work/marked.m" "$work/marked"; do
  [ "$(filetype "$file")" = model/x-polyview ] || fail "${file##*/} is '$(filetype "$file")', not model/x-polyview"
done
case $(filetype "$work/plain.m") in text/x-*) ;; *) fail "a plain .m file is '$(filetype "$work/plain.m")'" ;; esac

# The thumbnailer's Exec as a file manager runs it: %s the size, %i the
# file, %o the output, %u the file's URI.
exec_line=$(sed -n 's/^Exec=//p' "$share/thumbnailers/polyview.thumbnailer")
[ "$(sed -n 's/^MimeType=//p' "$share/thumbnailers/polyview.thumbnailer")" = "model/x-polyview;" ] ||
  fail "the thumbnailer is not for model/x-polyview"
example=$share/polyview/examples/poligon.m
read -r -a words <<<"$exec_line"
command=()
for word in "${words[@]}"; do
  word=${word//%s/128} word=${word//%i/$example} word=${word//%o/$work/thumbnail.png}
  command+=("${word//%u/file://$example}")
done
if PATH=$root/usr/bin:$PATH "${command[@]}" &&
   "$tool" snapshot --dir "$share/polyview/examples" --size 128x96 --out "$work/snapshot-128.png"; then
  cmp -s "$work/thumbnail.png" "$work/snapshot-128.png" || fail "the thumbnail differs from snapshot at 128x96"
else
  fail "the thumbnailer's command: ${command[*]}"
fi

lintian_out=$(timeout 120 lintian "$deb" 2>&1) || [ $? -ne 124 ] || fail "lintian took more than 120 s"
grep '^E: ' <<<"$lintian_out" >&2 && fail "lintian reports errors"

[ "$failures" -eq 0 ] || exit 1
echo "$deb: $(wc -l <"$work/files") files, Depends: $depends"
