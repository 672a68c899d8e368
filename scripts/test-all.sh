#!/usr/bin/env bash
# Installs what is missing, builds every target and runs every test tier:
# unit, tool (host runs against the simulated BMC), uefi (tolvane.efi in QEMU).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
