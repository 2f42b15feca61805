#!/usr/bin/env bash
# Runs the Windows builds under Wine on every end-to-end scenario, side by
# side with the Linux build, and fails on any difference: the 32-bit product
# under WOW64 on images of 64-bit machines, the 64-bit build on images of
# 32-bit machines. Needs the host build (scripts/test.sh makes it).
# Exit code 77: Wine cannot run 32-bit programs here (the stage is skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

scripts/setup-wine32.sh || exit 77

for preset in windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  scripts/check-windows-imports.sh "build/$preset/Dravolin.exe"
done

scenarios=build/wine/scenarios
rm -rf "$scenarios"
mkdir -p "$scenarios"
DRAVOLIN_SCENARIO_EXPORT="$PWD/$scenarios" build/host/tests/end_to_end_tests >/dev/null
python3 tests/wine/compare_with_wine.py "$scenarios" build/host/dravolin \
  build/windows-x86/Dravolin.exe build/windows-x64/Dravolin.exe build/wine
echo "test-wine.sh: the Wine stage took $((SECONDS - started)) s"
