#!/usr/bin/env bash
# Builds polyview and shows it working on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build/default -j"$(nproc)"
echo "== polyview-tool dump --summary examples/poligon.m"
build/default/polyview-tool dump --summary examples/poligon.m
echo "== polyview-tool dump examples/poligon.m"
build/default/polyview-tool dump examples/poligon.m
