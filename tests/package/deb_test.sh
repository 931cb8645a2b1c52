#!/usr/bin/env bash
# Makes the Debian package from a Linux build and checks it as apt would get
# it: exactly the expected files with Debian's owners and modes, the control
# fields (Depends computed from the programs), and, unpacked into a scratch
# root, programs that give the build's version and draw the installed example
# as the build draws the source one, and manual pages that render without
# warnings and describe every option the programs offer.
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
  ./usr/share/doc/polyview/LICENSE
  ./usr/share/doc/polyview/README.md
  ./usr/share/man/man1/polyview-tool.1.gz
  ./usr/share/man/man1/polyview.1.gz
)
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

[ "$failures" -eq 0 ] || exit 1
echo "$deb: $(wc -l <"$work/files") files, Depends: $depends"
