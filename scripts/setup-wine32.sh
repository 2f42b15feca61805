#!/usr/bin/env bash
# Makes this machine able to run the 32-bit product under Wine: the 64-bit
# and 32-bit Wine, and qemu-user as the interpreter of 32-bit x86 programs
# (this kernel may not start them itself). Installs and registers only what
# is missing and never unregisters anything; safe to run again.
# Exit code 1 (with a loud message) when it cannot: the caller decides whether
# that skips the Wine stage or fails it.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "setup-wine32: *** $* ***" >&2
  exit 1
}

if [ "$(id -u)" -eq 0 ] && command -v dpkg >/dev/null 2>&1 &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  # install-deps.sh refreshes the package lists when an install fails, which
  # is what makes the i386 packages known.
fi

scripts/install-deps.sh \
  wine=/usr/bin/wine \
  wine64=/usr/lib/wine/wine64 \
  wine32:i386=/usr/lib/wine/wine \
  qemu-user=/usr/bin/qemu-i386 ||
  fail "Wine (64-bit and 32-bit) or qemu-user cannot be installed"

binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
    fail "binfmt_misc is not mounted and cannot be mounted at $binfmt"
fi

# A 32-bit x86 ELF executable or shared object, as qemu's own binfmt
# configuration describes it.
magic='7f454c4601010100000000000000000002000300'
mask='fffffffffffefe00fffffffffffffffffeffffff'

# Any enabled entry for these files will do (the system's own, or ours from an
# earlier run); one that is there but disabled is left as its owner set it.
for entry in "$binfmt"/*; do
  [ -f "$entry" ] || continue
  case "$(basename "$entry")" in register | status) continue ;; esac
  if grep -qx "magic $magic" "$entry" && grep -qx enabled "$entry"; then
    exit 0
  fi
done

# A kernel that starts 32-bit programs itself needs no interpreter.
/usr/lib/wine/wine --version >/dev/null 2>&1 && exit 0

[ -e "$binfmt/qemu-i386" ] && fail "$binfmt/qemu-i386 exists but is disabled or is not for 32-bit x86"
to_escaped() { sed 's/../\\x&/g' <<<"$1"; }
printf ':qemu-i386:M::%s:%s:/usr/bin/qemu-i386:\n' "$(to_escaped "$magic")" "$(to_escaped "$mask")" \
  >"$binfmt/register" 2>/dev/null || fail "cannot register qemu-i386 with binfmt_misc"
echo "setup-wine32: registered /usr/bin/qemu-i386 for 32-bit x86 programs"
