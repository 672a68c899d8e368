#!/usr/bin/env bash
# The core's lines the fuzz targets reach together: builds the targets with
# clang's source-based coverage (build-fuzz-coverage), runs each once over its
# corpus in build-fuzz/corpus (scripts/fuzz.sh makes it), and prints the
# report for the core's folders.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz-coverage
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" -DTOLVANE_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tolvane_fuzzers

profiles=$build/profiles
rm -rf "$profiles"
mkdir -p "$profiles"
objects=()
for program in "$build"/fuzz/fuzz_*; do
  [ -x "$program" ] || continue
  target=$(basename "$program")
  [ -d "build-fuzz/corpus/$target" ] || continue
  LLVM_PROFILE_FILE="$profiles/$target.profraw" "$program" -runs=0 "build-fuzz/corpus/$target" >/dev/null 2>&1
  objects+=(-object "$program")
done
core=$(git ls-files '*.cpp' | grep -E "^(app|transport|support|lan|controller|users|fru|sdr|sel|companion)/")
# Each target alone: the core's lines and branches it reaches.
for profile in "$profiles"/*.profraw; do
  target=$(basename "$profile" .profraw)
  llvm-profdata merge -sparse "$profile" -o "$profiles/$target.profdata"
  # shellcheck disable=SC2086
  llvm-cov report "$build/fuzz/$target" -instr-profile="$profiles/$target.profdata" $core | tail -n 1 |
    awk -v t="$target" '{ printf "%s: lines %d of %d (%s), branches %d of %d (%s)\n", t, $8 - $9, $8, $10, $11 - $12, $11, $13 }'
done
llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/all.profdata"
# shellcheck disable=SC2086
llvm-cov report "${objects[@]:1}" -instr-profile="$profiles/all.profdata" $core
