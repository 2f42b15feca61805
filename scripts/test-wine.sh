#!/usr/bin/env bash
# Runs the Windows build under Wine on the end-to-end scenarios of 32-bit
# machines, side by side with the Linux build, and fails on any difference.
# Needs the host build (scripts/test.sh makes it) and Debian's wine64.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64
scripts/check-windows-imports.sh build/windows-x64/Dravolin.exe

scenarios=build/wine/scenarios
rm -rf "$scenarios"
mkdir -p "$scenarios"
DRAVOLIN_SCENARIO_EXPORT="$PWD/$scenarios" build/host/tests/end_to_end_tests >/dev/null
python3 tests/wine/compare_with_wine.py "$scenarios" build/host/dravolin build/windows-x64/Dravolin.exe build/wine
