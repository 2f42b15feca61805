#!/usr/bin/env bash
# Installs what building and testing Dravolin needs (or the packages named
# as arguments), from Debian's packages,
# when it is missing. Without root or a package registry it says loudly what
# is missing and leaves the decision to the caller (exit code 1).
set -euo pipefail

# package -> a file that shows it is installed
declare -A NEEDED=(
  [cmake]=/usr/bin/cmake
  [ninja-build]=/usr/bin/ninja
  [g++]=/usr/bin/g++
  [libgtest-dev]=/usr/include/gtest/gtest.h
  [libbenchmark-dev]=/usr/include/benchmark/benchmark.h
  [libhivex-dev]=/usr/include/hivex.h
  [libhivex-bin]=/usr/bin/hivexsh
  [pkgconf]=/usr/bin/pkg-config
  [clang]=/usr/bin/clang++
  [libclang-rt-14-dev]=/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a
  [g++-mingw-w64-i686-posix]=/usr/bin/i686-w64-mingw32-g++-posix
  [binutils-mingw-w64-i686]=/usr/bin/i686-w64-mingw32-objdump
  [locales]=/usr/share/i18n/locales/tr_TR
)
# Arguments PACKAGE=FILE name other packages to check instead.
if [ $# -gt 0 ]; then
  NEEDED=()
  for extra in "$@"; do
    NEEDED[${extra%%=*}]=${extra#*=}
  done
fi

missing=()
for package in "${!NEEDED[@]}"; do
  [ -e "${NEEDED[$package]}" ] || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null 2>&1; then
  echo "install-deps: *** cannot install them here (not root, or no apt-get) ***" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/tmp/dravolin-apt.log 2>&1; then
  apt-get update -qq >/dev/null 2>&1 || true
  if ! apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/tmp/dravolin-apt.log 2>&1; then
    echo "install-deps: *** apt-get could not install: ${missing[*]} (see /tmp/dravolin-apt.log) ***" >&2
    exit 1
  fi
fi
echo "install-deps: installed ${missing[*]}"
