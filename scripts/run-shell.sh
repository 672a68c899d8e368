#!/usr/bin/env bash
# Builds TOLVANE and boots OVMF's UEFI shell in QEMU on this terminal, with the
# medium (build/medium.img: tolvane.efi, tablornX64.efi and the event text data
# files, as a technician copies them to a USB stick) as FS0: and the KCS
# interface at 0CA2h wired to the simulated BMC (tolvane-bmc on 127.0.0.1). The
# BMC keeps its state for the whole session.
#
#   scripts/run-shell.sh            build (cmake, directory build/) and boot
#   TOLVANE_BMC_SCENARIO=FILE scripts/run-shell.sh   start the BMC from a scenario
#
# Each run boots a fresh copy of the medium (build/uefi-shell/medium.img), so
# what the shell writes (FRU backups, the SMBIOS template) stays in that copy
# until the next run and never reaches build/medium.img. The start-up script
# that changes to FS0: is on a small volume of its own (FS1:).
#
# Leave the shell with `reset -s` (powers the machine off), or press Ctrl-A then X.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
ovmf_code=/usr/share/OVMF/OVMF_CODE_4M.fd
ovmf_vars=/usr/share/OVMF/OVMF_VARS_4M.fd

# ---- tools (installed only when missing) ----
"$root/scripts/install-deps.sh"
mkfs_fat=$(PATH="$PATH:/usr/sbin:/sbin" command -v mkfs.fat)

# ---- build ----
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target medium tolvane-bmc

# ---- run folder: FS0: the medium's copy, FS1: the start-up script ----
session="$build/uefi-shell"
mkdir -p "$session"
cp --sparse=always "$build/medium.img" "$session/medium.img"
cp "$ovmf_vars" "$session/vars.fd"
printf '%s\r\n' \
  '@echo -off' \
  'fs0:' \
  'echo "TOLVANE: try  tolvane -m  or  tolvane  for the usage; leave with  reset -s"' \
  > "$session/startup.nsh"
rm -f "$session/startup.img"
"$mkfs_fat" -C -n STARTUP "$session/startup.img" 64 >/dev/null
mcopy -i "$session/startup.img" "$session/startup.nsh" ::/startup.nsh

# ---- BMC ----
bmc_args=(--port 0 --port-file "$session/bmc-port.txt" --stats "$session/bmc-stats.json")
if [ -n "${TOLVANE_BMC_SCENARIO:-}" ]; then
  bmc_args+=(--scenario "$TOLVANE_BMC_SCENARIO")
fi
rm -f "$session/bmc-port.txt"
"$build/tolvane-bmc" "${bmc_args[@]}" >"$session/bmc.log" 2>&1 &
bmc_pid=$!
stop_bmc() {
  if kill -0 "$bmc_pid" 2>/dev/null; then
    kill -TERM "$bmc_pid"
    wait "$bmc_pid" 2>/dev/null || true
  fi
}
trap stop_bmc EXIT
for _ in $(seq 100); do
  [ -s "$session/bmc-port.txt" ] && break
  kill -0 "$bmc_pid" 2>/dev/null || { cat "$session/bmc.log" >&2; exit 1; }
  sleep 0.05
done
port=$(cat "$session/bmc-port.txt")

cat <<NOTE
TOLVANE UEFI shell: FS0: is a fresh copy of build/medium.img, kept until the next
run as $session/medium.img (read it with  mdir -i  and  mcopy -i).
The BMC listens on 127.0.0.1:$port.
Booting takes about 10 seconds (software emulation). Leave with  reset -s  in the
shell, or press Ctrl-A then X. BMC log and answer times: $session/bmc.log, bmc-stats.json
NOTE

# QEMU's KCS device holds IBF until the BMC's answer is back, and the tool waits
# for IBF only about half a millisecond: QEMU runs with its memory locked, and
# QEMU's main loop and the BMC at a real-time priority, as in the UEFI shell
# tier (scripts/kcs_stall_measures.py; a note says which cannot be had).
qemu_status=0
python3 "$root/scripts/kcs_stall_measures.py" terminal --bmc-pid "$bmc_pid" --bmc-name tolvane-bmc -- \
  qemu-system-x86_64 -machine q35 -m 256 -nographic -no-reboot -net none \
    -drive if=pflash,format=raw,readonly=on,file="$ovmf_code" \
    -drive if=pflash,format=raw,file="$session/vars.fd" \
    -drive format=raw,file="$session/medium.img" \
    -drive format=raw,file="$session/startup.img" \
    -chardev socket,id=ipmi0,host=127.0.0.1,port="$port",reconnect=10 \
    -device ipmi-bmc-extern,chardev=ipmi0,id=bmc0 \
    -device isa-ipmi-kcs,bmc=bmc0,ioport=0xca2 || qemu_status=$?
exit "$qemu_status"
