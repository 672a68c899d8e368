#!/usr/bin/env bash
# Installs the Debian packages the build and every test tier need. Installs
# only what is missing; needs root (or sudo) when something is.
set -euo pipefail

packages=(
  cmake g++ clang clang-format make python3 groff-base
  libgtest-dev libbenchmark-dev nlohmann-json3-dev
  gnu-efi ovmf qemu-system-x86 mtools dosfstools openipmi ipmitool freeipmi-tools
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
