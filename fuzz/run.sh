#!/bin/sh
# Builds the libFuzzer targets (fuzz preset, clang) and runs each for a while
# on a scratch copy of the seed corpus.
#
#   fuzz/run.sh [seconds per target]      default 30
#
# Exits non-zero when a target finds a failing input; the input is kept in
# build/fuzz/artifacts/.
set -eu

seconds=${1:-30}
# A fixed seed by default, so that a run can be repeated; POLYVIEW_FUZZ_SEED=0
# lets libFuzzer pick one.
seed=${POLYVIEW_FUZZ_SEED:-20261207}
case $seconds in
  ''|*[!0-9]*) echo "usage: $0 [seconds per target]" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

targets="scan_fuzz model_fuzz picture_fuzz"
cmake --preset fuzz
# shellcheck disable=SC2086
cmake --build build/fuzz -j2 --target $targets

artifacts=$root/build/fuzz/artifacts
mkdir -p "$artifacts"
work=$(mktemp -d "${TMPDIR:-/tmp}/polyview-fuzz-corpus.XXXXXX")
trap 'rm -rf "$work"' EXIT

status=0
for target in $targets; do
  mkdir "$work/$target"
  case $target in
    # The BMP suite and small PNG, JPEG and GIF files made here.
    picture_fuzz)
      cp tests/data/bmpsuite/*/*.bmp "$work/$target/"
      fuzz/make_picture_seeds.sh "$work/$target" ;;
    *) cp fuzz/corpus/* "$work/$target/" ;;
  esac
  echo "== $target: $seconds s"
  if ! "build/fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 -seed="$seed" \
      -artifact_prefix="$artifacts/$target-" "$work/$target"; then
    echo "== $target FAILED; inputs in $artifacts" >&2
    status=1
  fi
done
exit $status
