#!/usr/bin/env python3
"""An outside check of the sensor conversions: OpenIPMI's sdrcomp encodes full
sensor records with a range of M, B, exponents, units and linearizations;
ipmi_sim holds them with live sensors; for several raw values per sensor the
records (ipmitool sdr dump), readings (Get Sensor Reading) and thresholds (Get
Sensor Thresholds) ipmi_sim gives are loaded into the simulated BMC, and the
tool's -sdr numbers must agree with ipmitool's "sensor list" for the same
sensors: the same value, truncated as the tool prints it (ipmitool shows three
places, rounded). Limits are compared where the tool converts them as ipmitool
does (linear and square sensors; the tool applies no other linearization to
thresholds). Exit 0: all agree; 1: a difference; 77: ipmi_sim, ipmitool or
sdrcomp missing.

usage: sdr_conversion_check.py --tool build/tolvane --work-dir DIR
"""

import argparse
import json
import os
import shutil
import socket
import subprocess
import sys
import time
from decimal import Decimal

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "uefi"))
from run_uefi_tests import end_process  # noqa: E402

# number, name, sensor type, base unit, linearization code, M, B, B exponent,
# result exponent, raw readings in turn, LNC and UNC raw.
SENSORS = [
    (0x01, "Temp Plain", "Temperature", "degrees_C", 0, 1, 0, 0, 0, [0, 1, 45, 96, 127, 200, 254], 5, 85),
    (0x02, "Temp Scaled", "Temperature", "degrees_C", 0, 5, -20, 0, -1, [0, 3, 4, 96, 150, 254], 0x10, 0x70),
    (0x03, "Temp F", "Temperature", "degrees_F", 0, 1, 0, 0, 0, [32, 98, 212], 40, 120),
    (0x04, "Volt 12V", "Voltage", "Volts", 0, 6, 0, 0, -2, [0, 1, 100, 177, 200, 254], 190, 210),
    (0x05, "Volt Core", "Voltage", "Volts", 0, 7, 0, 0, -3, [1, 99, 143, 177, 250], 170, 200),
    (0x06, "Neg Slope", "Voltage", "Volts", 0, -2, 500, 0, -1, [0, 100, 250, 254], 10, 240),
    (0x07, "Current", "Current", "Amps", 0, 3, -5, 1, -2, [0, 16, 17, 100, 254], 20, 200),
    (0x08, "Fan RPM", "Fan", "RPM", 0, 75, 0, 0, 0, [0, 1, 64, 200], 2, 200),
    (0x09, "Power W", "Current", "Watts", 0, 2, 0, 0, 0, [0, 90, 254], 0, 225),
    (0x0A, "Big Power", "Current", "Watts", 0, 1, 0, 0, 2, [1, 200], 0, 250),
    (0x0B, "Square V", "Voltage", "Volts", 8, 1, 0, 0, -1, [0, 5, 33, 254], 10, 200),
    (0x0C, "Sqrt V", "Voltage", "Volts", 10, 4, 0, 0, 0, [0, 1, 4, 100, 254], 0, 0),
    (0x0D, "Log10 V", "Voltage", "Volts", 2, 10, 0, 0, 0, [1, 10, 100, 254], 0, 0),
    (0x0E, "Ln V", "Voltage", "Volts", 1, 1, 0, 0, 0, [1, 3, 254], 0, 0),
    (0x0F, "Inv V", "Voltage", "Volts", 7, 1, 0, 0, 0, [1, 2, 8, 254], 0, 0),
    (0x10, "Cbrt V", "Voltage", "Volts", 11, 1, 0, 0, 0, [1, 8, 27, 200], 0, 0),
    (0x11, "Exp10 V", "Voltage", "Volts", 5, 1, 0, 0, -2, [0, 50, 100, 200], 0, 0),
]
LIMITS_COMPARED = (0, 8)  # linearizations whose thresholds the tool converts as ipmitool does

SDR_TEMPLATE = """sdr type 1
  sensor_owner_id 0x20
  channel_number 0
  sensor_owner_lun 0
  sensor_number {number}
  entity_id 7
  entity_instance 1
  sensor_type {type}
  event_reading_type_code 1
  sensor_threshold_access readable
  lnc_thrsh_readable true
  unc_thrsh_readable true
  base_unit {unit}
  linearization {linearization}
  m {m}
  b {b}
  b_exp {b_exp}
  r_exp {r_exp}
  id_string "{name}"
endsdr
"""

LAN_CONF = """name "conv"
set_working_mc 0x20
  startlan 1
    addr 127.0.0.1 {lan}
    priv_limit admin
    allowed_auths_admin none md2 md5 straight
    allowed_auths_operator none md2 md5 straight
    allowed_auths_user none md2 md5 straight
    allowed_auths_callback none md2 md5 straight
    guid a123456789abcdefa123456789abcdef
  endlan
  user 2 true "ipmiusr" "test" admin 10 none md2 md5 straight
console 127.0.0.1 {console}
"""


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Console:
    """ipmi_sim's emu command console (plain TCP with telnet option bytes)."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.drain(0.5)

    def drain(self, wait):
        data = b""
        self.sock.settimeout(wait)
        try:
            while True:
                chunk = self.sock.recv(4096)
                if not chunk:
                    break
                data += chunk
                self.sock.settimeout(0.1)
        except socket.timeout:
            pass
        return data

    def run(self, command):
        self.sock.sendall((command + "\n").encode())
        answer = self.drain(0.3)
        if b"**" in answer:
            raise RuntimeError("ipmi_sim console: %s -> %r" % (command, answer))


def hex_bytes(text):
    return [int(token, 16) for token in text.split()]


def hex_text(values):
    return " ".join("%02X" % v for v in values)


def records_from_dump(data):
    records, at = [], 0
    while at + 5 <= len(data):
        length = 5 + data[at + 4]
        records.append(list(data[at:at + length]))
        at += length
    return records


def candidates(exact_low, exact_high, scale, convert=lambda v: v):
    """The truncations (toward zero) of convert(y) * scale for y in the interval."""
    import math
    return {math.trunc(convert(exact_low) * scale), math.trunc(convert(exact_high) * scale)}


def agrees(tool_text, ipmitool_text, unit_code):
    """True when the tool's text is ipmitool's value truncated as the tool prints it."""
    if ipmitool_text == "na":
        return None  # nothing to compare
    shown = Decimal(ipmitool_text)
    low, high = shown - Decimal("0.0005"), shown + Decimal("0.0005")
    if unit_code == "degrees_C":
        celsius, fahrenheit = tool_text.rstrip("F").split("C/")
        return (int(celsius) in candidates(low, high, 1) and
                int(fahrenheit) in candidates(low, high, 1, lambda y: y * Decimal("1.8") + Decimal("32.5")))
    if unit_code in ("degrees_F", "RPM"):
        return int(tool_text.split()[0]) in candidates(low, high, 1)
    hundredths = int((Decimal(tool_text.split()[0]) * 100).to_integral_value())
    return hundredths in candidates(low, high, 100)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--work-dir", required=True)
    args = parser.parse_args()
    for program in ("ipmi_sim", "ipmitool", "sdrcomp"):
        if shutil.which(program) is None:
            print("%s not found (scripts/install-deps.sh installs it): check skipped" % program)
            return 77
    work = os.path.abspath(args.work_dir)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "state"))

    with open(os.path.join(work, "sensors.sdrs"), "w") as f:
        for number, name, kind, unit, lin, m, b, b_exp, r_exp, _raws, _lnc, _unc in SENSORS:
            f.write(SDR_TEMPLATE.format(number=number, name=name, type=kind, unit=unit, linearization=lin, m=m, b=b,
                                        b_exp=b_exp, r_exp=r_exp))
    subprocess.run(["sdrcomp", "-8", "-r", "-o", os.path.join(work, "sensors.raw"), os.path.join(work, "sensors.sdrs")],
                   check=True)
    with open(os.path.join(work, "sensors.raw"), "rb") as f:
        compiled = records_from_dump(f.read())

    emu = ["mc_setbmc 0x20", "mc_add 0x20 0 no-device-sdrs 0x23 9 8 0x9f 0x1291 0xf02"]
    for number, _name, _kind, _unit, _lin, _m, _b, _be, _re, raws, lnc, unc in SENSORS:
        emu += ["sensor_add 0x20 0 %d 0x01 0x01" % number,
                "sensor_set_threshold 0x20 0 %d readable 001001 0 0 %d 0 0 %d" % (number, unc, lnc),
                "sensor_set_event_support 0x20 0 %d enable scanning per-state %s" % (number, " ".join(["0" * 15] * 4)),
                "sensor_set_value 0x20 0 %d %d 0" % (number, raws[0])]
    emu += ["main_sdr_add 0x20 " + " ".join("0x%02x" % b for b in record) for record in compiled]
    emu.append("mc_enable 0x20")
    with open(os.path.join(work, "sensors.emu"), "w") as f:
        f.write("\n".join(emu) + "\n")
    lan, console_port = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_STREAM)
    with open(os.path.join(work, "lan.conf"), "w") as f:
        f.write(LAN_CONF.format(lan=lan, console=console_port))

    log = open(os.path.join(work, "ipmi_sim.log"), "wb")
    sim = subprocess.Popen(["ipmi_sim", "-c", "lan.conf", "-f", "sensors.emu", "-s", "state", "-n"], cwd=work,
                           stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    ipmitool = ["ipmitool", "-I", "lan", "-H", "127.0.0.1", "-p", str(lan), "-U", "ipmiusr", "-P", "test", "-N", "1",
                "-R", "3"]

    def tool_of_peer(*arguments, check=True):
        run = subprocess.run(ipmitool + list(arguments), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        if check and run.returncode != 0:
            raise RuntimeError("ipmitool %s: %s" % (" ".join(arguments), run.stdout.decode()))
        return run.stdout.decode()

    problems, compared = [], {"readings": 0, "limits": 0}
    try:
        for _ in range(100):
            if tool_of_peer("raw", "0x06", "0x01", check=False).strip().startswith("00"):
                break
            time.sleep(0.1)
        console = Console(console_port)
        dump = os.path.join(work, "dump.bin")
        tool_of_peer("sdr", "dump", dump)
        with open(dump, "rb") as f:
            records = records_from_dump(f.read())
        if [r[2:] for r in records] != [r[2:] for r in compiled]:
            problems.append("ipmi_sim's records differ from sdrcomp's (record IDs aside)")
        rounds = max(len(s[9]) for s in SENSORS)
        for turn in range(rounds):
            sensors = []
            for number, *_rest in SENSORS:
                raws = _rest[8]
                console.run("sensor_set_value 0x20 0 %d %d 0" % (number, raws[min(turn, len(raws) - 1)]))
            for number, *_rest in SENSORS:
                sensors.append({"number": "%02X" % number,
                                "readingReply": hex_text(hex_bytes(tool_of_peer("raw", "0x04", "0x2d", str(number)))),
                                "thresholds": hex_text(hex_bytes(tool_of_peer("raw", "0x04", "0x27", str(number))))})
            peer_rows = {}
            for line in tool_of_peer("sensor", "list").splitlines():
                cells = [cell.strip() for cell in line.split("|")]
                if len(cells) >= 10:
                    peer_rows[cells[0]] = cells
            scenario = os.path.join(work, "scenario.json")
            with open(scenario, "w") as f:
                json.dump({"sdr": {"records": [hex_text(r) for r in records], "sensors": sensors}}, f)
            state = os.path.join(work, "tool-state.json")
            if os.path.exists(state):
                os.remove(state)
            env = dict(os.environ, TOLVANE_PORTS="simulator", TOLVANE_BMC_SCENARIO=scenario, TOLVANE_BMC_STATE=state,
                       TOLVANE_VIRTUAL_CLOCK="1")
            run = subprocess.run([os.path.abspath(args.tool), "-sdr"], env=env, stdout=subprocess.PIPE, timeout=120)
            lines = run.stdout.decode().splitlines()[2:]
            if run.returncode != 0 or len(lines) != len(SENSORS):
                problems.append("round %d: the tool exited %d with %d lines" % (turn, run.returncode, len(lines)))
                continue
            for line, (number, name, _k, unit, lin, *_r) in zip(lines, SENSORS):
                status, shown_name, reading, low, high = [cell.strip() for cell in line.split(" | ")]
                peer = peer_rows.get(name)
                if peer is None:
                    problems.append("round %d: ipmitool lists no %s" % (turn, name))
                    continue
                checks = [("reading", reading, peer[1])]
                if lin in LIMITS_COMPARED:
                    checks += [("low limit", low, peer[6]), ("high limit", high, peer[7])]
                for what, ours, theirs in checks:
                    verdict = agrees(ours, theirs, unit)
                    if verdict is None:
                        continue
                    compared["readings" if what == "reading" else "limits"] += 1
                    if not verdict:
                        problems.append("round %d, %s %s: the tool shows %r, ipmitool %s" % (turn, name, what, ours,
                                                                                          theirs))
                print("%-12s raw %-12s tool %-10s %-10s %-11s ipmitool %s / %s / %s" % (
                    name, sensors[number - 1]["readingReply"][:2], reading, low, high, peer[1], peer[6], peer[7]))
    finally:
        end_process(sim, "ipmi_sim")
        log.close()
    print("%d readings and %d limits compared with ipmitool" % (compared["readings"], compared["limits"]))
    for problem in problems:
        print("DIFFERENT: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
