#!/usr/bin/env bash
# The Windows executable must run on a bare Windows: it may import system
# DLLs only, never a MinGW runtime DLL.
set -euo pipefail
exe=$1
# The 64-bit tools read both formats, the 32-bit ones only their own.
headers=""
for objdump in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump; do
  command -v $objdump >/dev/null 2>&1 || continue
  headers=$($objdump -p "$exe" 2>/dev/null) && break
done
if [ -z "$headers" ]; then
  echo "check-windows-imports: cannot read the headers of $exe" >&2
  exit 1
fi
dlls=$(echo "$headers" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $dlls)"
allowed='^(kernel32|advapi32|msvcrt|user32|ntdll|api-ms-win-.*|ucrtbase)\.dll$'
bad=$(echo "$dlls" | grep -v -E "$allowed" || true)
if [ -n "$bad" ]; then
  echo "check-windows-imports: $exe needs non-system DLLs: $bad" >&2
  exit 1
fi
