#!/usr/bin/env bash
# Serves the web build's static files to this machine only, for a browser
# here:   scripts/serve-web.sh [FOLDER] [PORT]
# FOLDER is the unpacked polyview-VERSION-web zip or the build's site folder
# (the default, build/web/site); PORT is 8000 unless given (0: any free
# port). Prints the address to open; Ctrl+C stops it.
set -euo pipefail
folder=${1:-$(dirname "$0")/../build/web/site}
port=${2:-8000}
if [ ! -f "$folder/polyview.html" ]; then
  echo "serve-web.sh: no polyview.html in $folder; build it first:" >&2
  echo "  cmake --preset web && cmake --build build/web" >&2
  exit 1
fi
exec python3 -u - "$folder" "$port" <<'PYTHON'
import functools
import http.server
import sys

folder, port = sys.argv[1], int(sys.argv[2])


class Handler(http.server.SimpleHTTPRequestHandler):
    # Browsers compile WebAssembly while it loads only when it comes as such.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, '.wasm': 'application/wasm'}


server = http.server.ThreadingHTTPServer(('127.0.0.1', port), functools.partial(Handler, directory=folder))
print(f'polyview: http://127.0.0.1:{server.server_address[1]}/polyview.html (Ctrl+C stops)', flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PYTHON
