#!/usr/bin/env bash
# The Windows executable must run on a bare Windows: it may import system
# DLLs only, never a MinGW runtime DLL.
set -euo pipefail
exe=$1
objdump=i686-w64-mingw32-objdump
file "$exe" 2>/dev/null | grep -q 'x86-64' && objdump=x86_64-w64-mingw32-objdump
dlls=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $dlls)"
allowed='^(kernel32|advapi32|msvcrt|user32|ntdll|api-ms-win-.*|ucrtbase)\.dll$'
bad=$(echo "$dlls" | grep -v -E "$allowed" || true)
if [ -n "$bad" ]; then
  echo "check-windows-imports: $exe needs non-system DLLs: $bad" >&2
  exit 1
fi
