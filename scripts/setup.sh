#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are
# missing. Needs root (or sudo) only when something is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ "${#missing[@]}" -gt 0 ] || [ "${POLYVIEW_APT_UPDATE:-0}" = 1 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  [ "${#missing[@]}" -gt 0 ] && $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
exit 0
