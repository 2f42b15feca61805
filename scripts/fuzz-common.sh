# Shared by run-fuzz.sh and fuzz-campaign.sh (sourced, not run): where the
# fuzz targets are, what seeds each one, and how the sanitizers run.

FUZZ_BUILD_DIR=build/fuzz/fuzz

# Smaller allocator quarantine and stack records than the defaults, and no
# filling of fresh memory: the targets then run several times faster, and a
# use after free is still caught when it follows the free closely.
export ASAN_OPTIONS="${ASAN_OPTIONS:-max_malloc_fill_size=0:quarantine_size_mb=8:malloc_context_size=5}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

# The longest input a fuzzing run makes: every real INF file of the shared
# corpus fits, and a seed far longer (a regression input that needed its
# size) does not make every mutation that long.
FUZZ_MAX_LEN="${FUZZ_MAX_LEN:-40000}"

# Every built fuzz target, by name.
fuzz_targets() {
  local exe
  for exe in "$FUZZ_BUILD_DIR"/*_fuzzer; do
    [ -x "$exe" ] && basename "$exe"
  done
}

# The seed folders of a target: its regression inputs, its seeds, and the
# folders that fuzz/seeds/<target>.folders lists (one a line, relative to the
# checkout; missing ones are passed over with a note).
fuzz_seed_folders() {
  local target=$1 folder
  for folder in "fuzz/regressions/$target" "fuzz/seeds/$target"; do
    [ -d "$folder" ] && echo "$folder"
  done
  if [ -f "fuzz/seeds/$target.folders" ]; then
    while IFS= read -r folder; do
      [ -z "$folder" ] && continue
      if [ -d "$folder" ]; then echo "$folder"; else echo "fuzz: $target: no seed folder $folder" >&2; fi
    done <"fuzz/seeds/$target.folders"
  fi
}

# The dictionary option of a target, when fuzz/<target>.dict exists.
fuzz_dict_option() {
  [ -f "fuzz/$1.dict" ] && echo "-dict=fuzz/$1.dict"
  return 0
}
