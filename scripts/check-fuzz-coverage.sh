#!/usr/bin/env bash
# Fails when a fuzz target holds code of ours without coverage
# instrumentation: libFuzzer would mutate blind wherever that code decides.
# Each target's link writes <target>.map (fuzz/CMakeLists.txt); every object
# file of this build that the map names, alone or as a member of one of our
# archives, must call into the coverage runtime (__sanitizer_cov_*) when it
# defines any function.
#
#   check-fuzz-coverage.sh [TARGET...]   (default: every built *_fuzzer)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/fuzz-common.sh

targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < <(fuzz_targets)
[ ${#targets[@]} -gt 0 ] || { echo "check-fuzz-coverage: no fuzz target built in $FUZZ_BUILD_DIR" >&2; exit 1; }

build_root="$(cd build/fuzz && pwd)"
failed=0
for target in "${targets[@]}"; do
  map="$FUZZ_BUILD_DIR/$target.map"
  [ -f "$map" ] || { echo "check-fuzz-coverage: $target: no link map $map" >&2; failed=1; continue; }
  checked=0
  blind=()
  # "archive(member)" and plain objects, as the linker names what it loaded.
  while IFS= read -r item; do
    if [[ $item =~ ^(.*\.a)\((.*\.o)\)$ ]]; then
      archive=${BASH_REMATCH[1]}
      member=${BASH_REMATCH[2]}
      [[ $archive = /* ]] || archive="build/fuzz/$archive"
      [[ $(cd "$(dirname "$archive")" && pwd) = "$build_root"* ]] || continue
      symbols=$(nm "$archive" 2>/dev/null | awk -v m="$member:" '$0==m {on=1; next} /:$/ {on=0} on')
      name="$(basename "$archive")($member)"
    else
      object=$item
      [[ $object = /* ]] || object="build/fuzz/$object"
      [[ $(cd "$(dirname "$object")" && pwd) = "$build_root"* ]] || continue
      symbols=$(nm "$object")
      name=${object#build/fuzz/}
    fi
    # An object that defines no function has no edge to count.
    grep -qE ' [TtW] ' <<<"$symbols" || continue
    checked=$((checked + 1))
    grep -q ' U __sanitizer_cov_' <<<"$symbols" || blind+=("$name")
  done < <(grep -oE '[^ ()]+\.a\([^)]+\.o\)|^LOAD [^ ]+\.o$' "$map" | sed 's/^LOAD //' | sort -u)
  if [ "$checked" -eq 0 ]; then
    echo "check-fuzz-coverage: $target: no object of this build found in $map" >&2
    failed=1
  elif [ ${#blind[@]} -gt 0 ]; then
    echo "check-fuzz-coverage: $target: ${#blind[@]} of $checked objects carry no coverage instrumentation:" >&2
    printf '  %s\n' "${blind[@]}" >&2
    failed=1
  else
    echo "check-fuzz-coverage: $target: all $checked objects instrumented"
  fi
done
exit "$failed"
