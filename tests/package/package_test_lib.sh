# The package tests' common start, sourced by deb_test.sh and zip_test.sh:
# a fresh work folder, the failure count, and the package made with cpack.
#   make_package GENERATOR FILE_NAME   (sets $work and $package)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

make_package() {
  local generator=$1 name=$2 folder
  folder=$(echo "$generator" | tr '[:upper:]' '[:lower:]')
  work=$build/package-test/$folder
  rm -rf "$work"
  mkdir -p "$work"
  if ! (cd "$build" && "$cpack" -G "$generator" -B "$work" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack -G $generator" >&2
    exit 1
  fi
  package=$work/$name
  [ -f "$package" ] || { echo "FAIL: cpack made no $package" >&2; ls "$work" >&2; exit 1; }
}
