#!/usr/bin/env bash
# Fails unless the Windows program is a GUI program of the given kind
# (pei-i386, the default: 32-bit; pei-x86-64: 64-bit) that imports only
# Windows system libraries.
set -euo pipefail
exe=$1
format=${2:-pei-i386}
headers=$(x86_64-w64-mingw32-objdump -p -f "$exe")
allowed='^(KERNEL32|USER32|GDI32|OPENGL32|GLU32|OLE32|OLEAUT32|msvcrt)\.dll$'
imports=$(awk '/DLL Name:/ { print $3 }' <<<"$headers")
echo "$exe imports: $(echo $imports)"
bad=$(grep -v -i -E "$allowed" <<<"$imports" || true)
if [ -n "$bad" ]; then
  echo "FAIL: $exe imports other libraries: $bad" >&2
  exit 1
fi
grep -q "file format $format\$" <<<"$headers" || { echo "FAIL: $exe is not of the kind $format" >&2; exit 1; }
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || { echo "FAIL: $exe is not a GUI program" >&2; exit 1; }
