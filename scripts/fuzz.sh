#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset: clang, libFuzzer, ASan, UBSan),
# writes each target's seed corpus from the test tiers' scenarios and command
# lines, and runs every target (or the ones named) for a while. A finding
# stops the script with the input that shows it in build-fuzz/findings/.
#
#   scripts/fuzz.sh                    30 s per target (what CI runs)
#   scripts/fuzz.sh 600                ten minutes per target
#   scripts/fuzz.sh runs=10000000 fuzz_tool   a number of executions instead
set -euo pipefail
cd "$(dirname "$0")/.."

budget=${1:-30}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_tool fuzz_argv fuzz_fru_image fuzz_sdr_listing fuzz_sel_listing fuzz_text_files fuzz_smbios_tables)
fi
case "$budget" in
  runs=*) limit=(-runs="${budget#runs=}") ;;
  *) limit=(-max_total_time="$budget") ;;
esac

cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target tolvane_fuzzers

mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  if [ ! -d "$corpus" ]; then
    TOLVANE_FUZZ_WRITE_SEEDS=$corpus "build-fuzz/fuzz/$target"
  fi
  start=$(date +%s)
  echo "==== $target (${budget})"
  if ! "build-fuzz/fuzz/$target" "${limit[@]}" -dict=fuzz/ipmi.dict -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$target-" "$corpus" 2> "build-fuzz/findings/$target.log"; then
    tail -n 60 "build-fuzz/findings/$target.log" >&2
    echo "FAILED: $target found an input that breaks the tool (build-fuzz/findings/$target-*)" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "build-fuzz/findings/$target.log" || true
  grep -E 'cov: [0-9]+' "build-fuzz/findings/$target.log" | tail -n 1 || true
  echo "==== $target: $(( $(date +%s) - start )) s"
done
