#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the Linux
# build's unit and end-to-end tests, the Windows cross build, and the INF
# reader's fuzzer for about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || echo "test.sh: *** some packages are missing; the steps that need them will fail ***" >&2

echo "== Linux build and tests"
cmake --preset host -DBUILD_TESTING=ON >/dev/null
cmake --build --preset host
ctest --preset host -j2

echo "== Windows executable (32-bit, cross build)"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
scripts/check-windows-imports.sh build/windows-x86/Dravolin.exe

if [ -x scripts/run-fuzz.sh ]; then
  echo "== INF reader fuzzing"
  scripts/run-fuzz.sh
fi
echo "test.sh: all passed"
