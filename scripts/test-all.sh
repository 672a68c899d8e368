#!/usr/bin/env bash
# Installs what is missing, builds every target and runs every test tier:
# unit, tool (host runs against the simulated BMC), uefi and peer (tolvane.efi
# in QEMU), linux (a Linux guest in QEMU with the kernel's IPMI driver). Then
# the unit and tool tiers again in three more configurations of
# CMakePresets.json: Release, clang, and Debug with AddressSanitizer and UBSan;
# and a short run of every fuzz target.
# Warnings are errors throughout (TOLVANE_WERROR).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

scripts/install-deps.sh
# Every C++ file as .clang-format lays it out.
scripts/check-format.sh
# The Linux guest's kernel, IPMI modules and busybox (Debian packages, kept in
# a cache: downloaded again only when Debian updates them).
scripts/linux-guest-deps.sh >/dev/null
cmake -S . -B build -DTOLVANE_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# With the tests off, nothing looks for GoogleTest or Google Benchmark: a
# packager builds tolvane, tolvane-bmc and tolvane.efi without them.
rm -rf build-notests
mkdir build-notests
cmake -S . -B build-notests -DBUILD_TESTING=OFF \
  --trace-expand --trace-redirect=build-notests/configure-trace.txt >/dev/null
if grep -Ei 'find_package\((GTest|benchmark)[ )]' build-notests/configure-trace.txt; then
  echo "FAILED: a configure with BUILD_TESTING=OFF looks for a test dependency (above)" >&2
  exit 1
fi

unit_tool_count() {
  ctest --test-dir "$1" -N -L 'unit|tool' | sed -n 's/^Total Tests: //p'
}
expected_count=$(unit_tool_count build)
if [ -z "$expected_count" ] || [ "$expected_count" -eq 0 ]; then
  echo "FAILED: the main build lists no unit or tool tests" >&2
  exit 1
fi

# One more configuration: configure its preset, build only what the unit and tool
# tiers run, run them, and check they are the same tests as in the main build (a
# test program missing from tolvane_fast_tiers would otherwise go unnoticed).
fast_tiers() {
  local preset=$1 dir=$2
  local start
  start=$(date +%s)
  echo "==== ${preset}: configure, build, unit and tool tiers (${dir})"
  cmake --preset "$preset" >/dev/null
  cmake --build "$dir" -j"$jobs" --target tolvane_fast_tiers
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" -L 'unit|tool'
  local count
  count=$(unit_tool_count "$dir")
  if [ "$count" != "$expected_count" ]; then
    echo "FAILED: ${preset} ran ${count} unit and tool tests, the main build has ${expected_count}" >&2
    exit 1
  fi
  echo "==== ${preset}: $(( $(date +%s) - start )) s wall time"
}

fast_tiers release build-release
fast_tiers clang build-clang
fast_tiers debug build-debug

# The fuzz targets (clang, libFuzzer, ASan + UBSan): 30 s each from their seed
# corpora; a finding fails the run (scripts/fuzz.sh).
start=$(date +%s)
scripts/fuzz.sh 30
echo "==== fuzz smoke run: $(( $(date +%s) - start )) s wall time"
