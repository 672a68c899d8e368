#!/usr/bin/env bash
# The files of the Linux guest tier (tests/linux), taken from Debian 12's
# packages without installing anything on this machine:
#   - the kernel (vmlinuz) and its IPMI modules ipmi_msghandler, ipmi_devintf and
#     ipmi_si, from linux-image-6.1.0-N-amd64 (the version linux-image-amd64
#     depends on today: it changes with security updates);
#   - busybox, from busybox-static (the guest's shell, mount, insmod, poweroff).
# ipmitool for the guest is not downloaded: the runner copies this machine's
# /usr/bin/ipmitool (package ipmitool, scripts/install-deps.sh) with the
# libraries ldd lists.
#
#   scripts/linux-guest-deps.sh [CACHE_DIR]
#
# CACHE_DIR defaults to $TOLVANE_GUEST_CACHE, else
# ${XDG_CACHE_HOME:-~/.cache}/tolvane/linux-guest. The packages (.deb) are kept
# in CACHE_DIR/debs and the files in CACHE_DIR/files (vmlinuz, the modules as
# plain .ko, busybox, VERSIONS). A run with everything in place downloads
# nothing; one that cannot reach the package lists keeps using what is there.
# Prints the files directory as its last line.
set -euo pipefail

home=${HOME:-$(cd ~ && pwd)}
cache=${1:-${TOLVANE_GUEST_CACHE:-${XDG_CACHE_HOME:-$home/.cache}/tolvane/linux-guest}}
debs="$cache/debs"
files="$cache/files"
modules=(ipmi_msghandler ipmi_devintf ipmi_si)
mkdir -p "$debs"

for tool in apt-cache apt-get dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "linux-guest-deps: $tool not found (a Debian system is needed)" >&2; exit 1; }
done

# The kernel package linux-image-amd64 depends on, e.g. linux-image-6.1.0-57-amd64.
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][0-9.]*-[0-9]*-amd64\)$/\1/p' | head -n 1
}

package=$(kernel_package)
if [ -z "$package" ] && [ "$(id -u)" -eq 0 ]; then
  # No package lists yet (a fresh machine): fetch them once.
  apt-get update -qq || true
  package=$(kernel_package)
fi
if [ -z "$package" ]; then
  if [ -f "$files/VERSIONS" ]; then
    echo "linux-guest-deps: cannot resolve linux-image-amd64 (no package lists); using the cached files" >&2
    echo "$files"
    exit 0
  fi
  echo "linux-guest-deps: cannot resolve linux-image-amd64's kernel package (run apt-get update)" >&2
  exit 1
fi
kernel_version=$(apt-cache policy "$package" | sed -n 's/^ *Candidate: //p')
busybox_version=$(apt-cache policy busybox-static | sed -n 's/^ *Candidate: //p')
wanted="$package $kernel_version
busybox-static $busybox_version"

if [ -f "$files/VERSIONS" ] && [ "$(cat "$files/VERSIONS")" = "$wanted" ]; then
  echo "$files"
  exit 0
fi

# apt-get download saves to the current directory; as root it warns that the
# download is not sandboxed (the _apt user cannot write here), which is harmless.
download() {
  local name=$1 version=$2
  local deb
  deb=$(find "$debs" -maxdepth 1 -name "${name}_*.deb" -print | while read -r f; do
          [ "$(dpkg-deb -f "$f" Version)" = "$version" ] && echo "$f"; done | head -n 1)
  if [ -z "$deb" ]; then
    echo "linux-guest-deps: downloading $name $version" >&2
    local start=$SECONDS
    (cd "$debs" && apt-get download -q "$name=$version" 2>&1 | grep -v 'unsandboxed as root' >&2 || true)
    deb=$(find "$debs" -maxdepth 1 -name "${name}_*.deb" -print | while read -r f; do
            [ "$(dpkg-deb -f "$f" Version)" = "$version" ] && echo "$f"; done | head -n 1)
    [ -n "$deb" ] || { echo "linux-guest-deps: apt-get download $name=$version failed" >&2; exit 1; }
    echo "linux-guest-deps: $(basename "$deb"): $(( $(stat -c %s "$deb") / 1024 )) KiB in $(( SECONDS - start )) s" >&2
  fi
  # Older versions of the same package are of no further use.
  find "$debs" -maxdepth 1 -name "${name}_*.deb" ! -path "$deb" -delete
  echo "$deb"
}

kernel_deb=$(download "$package" "$kernel_version")
busybox_deb=$(download busybox-static "$busybox_version")

staging="$cache/files.new"
rm -rf "$staging" "$cache/extract"
mkdir -p "$staging" "$cache/extract"

# Only the paths needed: the kernel image and the IPMI driver's directory.
dpkg-deb --fsys-tarfile "$kernel_deb" |
  tar -x -C "$cache/extract" --wildcards './boot/vmlinuz-*' './lib/modules/*/kernel/drivers/char/ipmi/*'
vmlinuz=$(find "$cache/extract/boot" -name 'vmlinuz-*' | head -n 1)
[ -n "$vmlinuz" ] || { echo "linux-guest-deps: no boot/vmlinuz-* in $kernel_deb" >&2; exit 1; }
cp "$vmlinuz" "$staging/vmlinuz"
for module in "${modules[@]}"; do
  found=$(find "$cache/extract/lib/modules" -name "$module.ko" -o -name "$module.ko.xz" -o -name "$module.ko.zst" | head -n 1)
  [ -n "$found" ] || { echo "linux-guest-deps: $module.ko* not in $kernel_deb" >&2; exit 1; }
  # Plain .ko for the guest: busybox's insmod is not built for every compression.
  case "$found" in
    *.ko.xz) xz -dc "$found" >"$staging/$module.ko" ;;
    *.ko.zst) zstd -qdc "$found" >"$staging/$module.ko" ;;
    *) cp "$found" "$staging/$module.ko" ;;
  esac
done

dpkg-deb --fsys-tarfile "$busybox_deb" | tar -x -C "$cache/extract" ./bin/busybox
cp "$cache/extract/bin/busybox" "$staging/busybox"
chmod 755 "$staging/busybox"
rm -rf "$cache/extract"

printf '%s\n' "$wanted" >"$staging/VERSIONS"
rm -rf "$files"
mv "$staging" "$files"
echo "$files"
