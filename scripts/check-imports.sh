#!/usr/bin/env bash
# Fails unless the Windows program imports only Windows system libraries.
set -euo pipefail
exe=$1
allowed='^(KERNEL32|USER32|GDI32|OPENGL32|GLU32|OLE32|OLEAUT32|msvcrt)\.dll$'
imports=$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }')
echo "$exe imports: $(echo $imports)"
bad=$(echo "$imports" | grep -v -i -E "$allowed" || true)
if [ -n "$bad" ]; then
  echo "FAIL: $exe imports other libraries: $bad" >&2
  exit 1
fi
i686-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386' ||
  { echo "FAIL: $exe is not a 32-bit program" >&2; exit 1; }
i686-w64-mingw32-objdump -p "$exe" | grep -q 'Subsystem.*(Windows GUI)' ||
  { echo "FAIL: $exe is not a GUI program" >&2; exit 1; }
