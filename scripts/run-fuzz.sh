#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs inf_fuzzer for about a minute: first
# every input of fuzz/regressions/ once, then a fuzzing run seeded from them
# and from ../shared/corpus when it is there. Exits non-zero on any finding;
# the input that caused it is left in the folder named at the end, and
# belongs in fuzz/regressions/ once the fault is mended.
#
#   FUZZ_SECONDS   length of the fuzzing run (default 60)
#   FUZZ_JOBS      build parallelism (default: the build tool's)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target inf_fuzzer ${FUZZ_JOBS:+-j "$FUZZ_JOBS"}
fuzzer=build/fuzz/fuzz/inf_fuzzer

findings="$(mktemp -d "${TMPDIR:-/tmp}/inf-fuzz-findings.XXXXXX")"
corpus="$(mktemp -d "${TMPDIR:-/tmp}/inf-fuzz-corpus.XXXXXX")"
trap 'rm -rf "$corpus"; rmdir "$findings" 2>/dev/null || true' EXIT

fail() {
  echo "run-fuzz.sh: *** $1; inputs are in $findings" >&2
  exit 1
}

echo "== replaying fuzz/regressions"
shopt -s nullglob
regressions=(fuzz/regressions/*)
if [ ${#regressions[@]} -gt 0 ]; then
  "$fuzzer" -artifact_prefix="$findings/" "${regressions[@]}" || fail "a regression input fails again"
fi

seeds=(fuzz/regressions)
if [ -d ../shared/corpus ]; then
  seeds+=(../shared/corpus)
else
  echo "run-fuzz.sh: no ../shared/corpus; seeding from fuzz/regressions only"
fi

echo "== fuzzing for ${seconds}s"
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
  "$corpus" "${seeds[@]}" || fail "the fuzzer found a fault"
echo "run-fuzz.sh: no findings"
