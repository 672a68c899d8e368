#!/usr/bin/env bash
# Builds TOLVANE and boots OVMF's UEFI shell in QEMU on this terminal, with
# tolvane.efi and the SEL listing's event text data files on FS0: and the KCS
# interface at 0CA2h wired to the simulated BMC (tolvane-bmc on 127.0.0.1). The
# BMC keeps its state for the whole session.
#
#   scripts/run-shell.sh            build (cmake, directory build/) and boot
#   TOLVANE_BMC_SCENARIO=FILE scripts/run-shell.sh   start the BMC from a scenario
#
# Leave the shell with `reset -s` (powers the machine off), or press Ctrl-A then X.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
ovmf_code=/usr/share/OVMF/OVMF_CODE_4M.fd
ovmf_vars=/usr/share/OVMF/OVMF_VARS_4M.fd

# ---- tools (installed only when missing) ----
"$root/scripts/install-deps.sh"

# ---- build ----
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target tolvane_efi tolvane-bmc event_data_files

# ---- session folder: FS0: in the shell ----
session="$build/uefi-shell"
mkdir -p "$session/esp"
cp "$build/tolvane.efi" "$session/esp/tolvane.efi"
# tolvane -sel list reads these from the shell's current directory.
for data in MBType GenEvt SpecEvt1 SpecEvt2 SpecEvt3 SpecEvt4 SpecEvt5 RomEN RomEPEX; do
  cp "$build/$data.dat" "$session/esp/$data.dat"
done
cp "$ovmf_vars" "$session/vars.fd"
printf '%s\r\n' \
  '@echo -off' \
  'fs0:' \
  'echo "TOLVANE: try  tolvane -m  or  tolvane  for the usage; leave with  reset -s"' \
  > "$session/esp/startup.nsh"

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
TOLVANE UEFI shell session: tolvane.efi and the event data files are on FS0:, the BMC listens on 127.0.0.1:$port.
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
    -drive format=raw,file=fat:rw:"$session/esp" \
    -chardev socket,id=ipmi0,host=127.0.0.1,port="$port",reconnect=10 \
    -device ipmi-bmc-extern,chardev=ipmi0,id=bmc0 \
    -device isa-ipmi-kcs,bmc=bmc0,ioport=0xca2 || qemu_status=$?
exit "$qemu_status"
