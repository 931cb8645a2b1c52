#!/usr/bin/env bash
# Runs a command on an Xvfb screen of its own: with_xvfb.sh WxHxD COMMAND...
set -euo pipefail
. "$(dirname "$0")/xvfb_lib.sh"
require_tools Xvfb
screen=$1
shift
trap stop_xvfb EXIT
start_xvfb "$screen"
"$@"
