#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, coverage on all of our code) and gives every
# fuzz target a short run: first the coverage check, then each target's
# fuzz/regressions/<target>/ inputs once, then fuzzing runs that share the
# time among the targets, seeded from their regression inputs and seeds
# (scripts/fuzz-common.sh). Exits non-zero on any finding; the input that
# caused it is left in the folder named at the end, and belongs in
# fuzz/regressions/<target>/ once the fault is mended.
#
#   FUZZ_SECONDS   fuzzing time shared by all targets (default 120)
#   FUZZ_JOBS      build parallelism (default: the build tool's)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh

seconds="${FUZZ_SECONDS:-120}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz ${FUZZ_JOBS:+-j "$FUZZ_JOBS"}
mapfile -t targets < <(fuzz_targets)
[ ${#targets[@]} -gt 0 ] || { echo "run-fuzz.sh: *** no fuzz target was built ***" >&2; exit 1; }

echo "== coverage instrumentation of the fuzz targets"
scripts/check-fuzz-coverage.sh "${targets[@]}"

findings="$(mktemp -d "${TMPDIR:-/tmp}/fuzz-findings.XXXXXX")"
work="$(mktemp -d "${TMPDIR:-/tmp}/fuzz-corpus.XXXXXX")"
trap 'rm -rf "$work"; rmdir "$findings" 2>/dev/null || true' EXIT

fail() {
  echo "run-fuzz.sh: *** $1; inputs are in $findings" >&2
  exit 1
}

shopt -s nullglob
for target in "${targets[@]}"; do
  regressions=(fuzz/regressions/"$target"/*)
  echo "== $target: replaying ${#regressions[@]} regression inputs"
  if [ ${#regressions[@]} -gt 0 ]; then
    "$FUZZ_BUILD_DIR/$target" -artifact_prefix="$findings/$target-" "${regressions[@]}" >"$work/replay.log" 2>&1 ||
      { tail -40 "$work/replay.log" >&2; fail "a regression input of $target fails again"; }
  fi
done

share=$((seconds / ${#targets[@]}))
[ "$share" -ge 1 ] || share=1
for target in "${targets[@]}"; do
  mapfile -t seeds < <(fuzz_seed_folders "$target")
  mkdir -p "$work/$target"
  echo "== $target: fuzzing for ${share}s"
  "$FUZZ_BUILD_DIR/$target" -max_total_time="$share" -print_final_stats=1 -max_len="$FUZZ_MAX_LEN" $(fuzz_dict_option "$target") \
    -artifact_prefix="$findings/$target-" "$work/$target" "${seeds[@]}" >"$work/$target.log" 2>&1 ||
    { tail -60 "$work/$target.log" >&2; fail "$target found a fault"; }
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec)' "$work/$target.log" || true
done
echo "run-fuzz.sh: no findings"
