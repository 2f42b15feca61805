#!/usr/bin/env bash
# A long fuzzing campaign, outside CI: runs each named fuzz target (default:
# every built one) in turn for the given time on one core, keeping its corpus
# in build/fuzz-campaign/<target>/corpus between campaigns, and reports per
# target the inputs run, the coverage reached (edges "cov" and features "ft")
# and the findings. A finding is kept in build/fuzz-campaign/<target>/findings
# and the target goes on fuzzing for the rest of its time.
#
#   scripts/fuzz-campaign.sh [--seconds N] [TARGET...]   (default 3600 s a target)
#
# Run it under nice (e.g. nice -n 15) on a shared machine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh

seconds=3600
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --seconds=*) seconds=${1#*=}; shift ;;
    *) targets+=("$1"); shift ;;
  esac
done
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j1
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(fuzz_targets)
scripts/check-fuzz-coverage.sh "${targets[@]}"

report=()
for target in "${targets[@]}"; do
  dir="build/fuzz-campaign/$target"
  mkdir -p "$dir/corpus" "$dir/findings"
  mapfile -t seeds < <(fuzz_seed_folders "$target")
  : >"$dir/campaign.log"
  runs=0
  end=$((SECONDS + seconds))
  while [ "$SECONDS" -lt "$end" ]; do
    left=$((end - SECONDS))
    echo "== $target: fuzzing for ${left}s" | tee -a "$dir/campaign.log"
    "$FUZZ_BUILD_DIR/$target" -max_total_time="$left" -print_final_stats=1 -max_len="$FUZZ_MAX_LEN" -timeout=10 \
      $(fuzz_dict_option "$target") -artifact_prefix="$dir/findings/" "$dir/corpus" "${seeds[@]}" \
      >"$dir/last-run.log" 2>&1 || true
    cat "$dir/last-run.log" >>"$dir/campaign.log"
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/last-run.log" | tail -1)
    if [ -z "$n" ]; then
      # A run that stopped on a finding prints no statistics: its last line
      # with a count says how far it came.
      n=$(grep -oE '^#[0-9]+' "$dir/last-run.log" | tail -1 | tr -d '#')
    fi
    runs=$((runs + ${n:-0}))
  done
  last=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)' "$dir/campaign.log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
  ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
  found=$(find "$dir/findings" -type f | wc -l)
  corpus=$(find "$dir/corpus" -type f | wc -l)
  report+=("$(printf '%-16s %12s runs  cov %6s  ft %7s  corpus %6s  findings %s' "$target" "$runs" "$cov" "$ft" "$corpus" "$found")")
done
echo "== campaign: ${seconds}s a target"
printf '%s\n' "${report[@]}"
