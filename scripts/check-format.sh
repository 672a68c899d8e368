#!/usr/bin/env bash
# Fails when a C++ file does not conform to .clang-format (Debian 12's
# clang-format 14, as scripts/install-deps.sh installs it).
#
#   scripts/check-format.sh          every tracked C++ file
#   scripts/check-format.sh BASE     the C++ files changed since the commit BASE
#
# To conform: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  mapfile -t files < <(git diff --name-only --diff-filter=d "$1" -- '*.cpp' '*.hpp' '*.h')
else
  mapfile -t files < <(git ls-files -- '*.cpp' '*.hpp' '*.h')
fi
[ ${#files[@]} -eq 0 ] && exit 0

failed=()
for file in "${files[@]}"; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || failed+=("$file")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: not formatted as .clang-format says (clang-format -i FILE...):" >&2
  printf '  %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "==== format: ${#files[@]} C++ files conform"
