#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the Linux
# build's unit and end-to-end tests, the same under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows cross build, the Windows builds
# under Wine against the Linux build, and every fuzz target for about two
# minutes in all.
set -euo pipefail
cd "$(dirname "$0")/.."

deps_ok=1
scripts/install-deps.sh || deps_ok=0
wine_ok=1
scripts/install-deps.sh g++-mingw-w64-x86-64-posix=/usr/bin/x86_64-w64-mingw32-g++-posix || wine_ok=0
if [ "$deps_ok" = 0 ]; then
  echo "test.sh: *** some packages are missing; the steps that need them will fail ***" >&2
fi

# The case-folding tests run under a Turkish locale, which few machines have.
if ! locale -a 2>/dev/null | grep -qix 'tr_TR\.utf-\?8'; then
  if ! localedef -i tr_TR -f UTF-8 tr_TR.UTF-8; then
    echo "test.sh: *** tr_TR.UTF-8 cannot be made here: the Turkish locale tests will skip ***" >&2
    [ -z "${CI:-}" ] || exit 1
  fi
fi

echo "== Linux build and tests"
cmake --preset host -DBUILD_TESTING=ON >/dev/null
cmake --build --preset host
ctest --preset host -j2

echo "== The program and every test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize -j2

echo "== Windows executable (32-bit, cross build)"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
scripts/check-windows-imports.sh build/windows-x86/Dravolin.exe

echo "== The Windows build under Wine, against the Linux build"
if [ "$wine_ok" = 1 ]; then
  status=0
  scripts/test-wine.sh || status=$?
  # 77: Wine, qemu-user or their binfmt_misc entry cannot be set up here.
  if [ "$status" = 77 ]; then
    wine_ok=0
  elif [ "$status" != 0 ]; then
    exit "$status"
  fi
fi
if [ "$wine_ok" = 0 ] && [ -n "${CI:-}" ]; then
  echo "test.sh: *** Wine cannot run the Windows builds here, and CI must run this stage ***" >&2
  exit 1
elif [ "$wine_ok" = 0 ]; then
  echo "test.sh: *** Wine cannot run the Windows builds here: the Wine stage is SKIPPED ***" >&2
fi

if [ -x scripts/run-fuzz.sh ]; then
  echo "== Fuzzing"
  scripts/run-fuzz.sh
fi
echo "test.sh: all passed"
