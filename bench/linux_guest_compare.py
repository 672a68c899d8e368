#!/usr/bin/env python3
"""ipmitool and the tool side by side in one Linux guest boot, both through the
kernel's IPMI driver (/dev/ipmi0) to tolvane-bmc behind QEMU's KCS device:
wall time of each command, the requests the BMC received during it (its
request log, split by the guest's console markers), and the time per request.

    bench/linux_guest_compare.py [--build build] [--repeat N] [--scenario FILE]
                                 [--guest-env NAME=VALUE] [--json FILE]

A first row times the request path alone: 100 Get Device ID requests by the
kernel device binding in one process (kernel_ipmi_probe). The BMC holds the
built-in scenario with its SEL repeated to 1024 entries (unless --scenario);
the "SEL raw" rows send the same 1024 Get SEL Entry requests from both
programs, so their times per request compare like with like, while the
listings send what each program needs (ipmitool more requests per entry).

Needs the build targets tolvane-static, tolvane-bmc, kernel_ipmi_probe and
event_data_files, and the guest's kernel files (scripts/linux-guest-deps.sh;
run when the cache is empty). A command's exit status is reported, not judged: a tool that cannot
reach the BMC yet shows few or no requests.
"""

import argparse
import json
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tests", "linux"))
import run_linux_guest as runner  # noqa: E402

COMMANDS = [
    ("SDR listing", "ipmitool sdr elist", "tolvane -sdr"),
    ("SEL listing", "ipmitool sel elist", "tolvane -sel list"),
    # The same requests from both: Get SEL Entry of record 1 to 1024, whole,
    # without decoding (ipmitool in one process: its batch mode).
    ("SEL raw", "ipmitool exec sel-raw.txt", "tolvane -sel raw"),
    ("FRU 0", "ipmitool fru print 0", "tolvane -fru list"),
]
# The request path alone: Get Device ID 100 times by the kernel device binding
# in one process (tests/linux/kernel_ipmi_probe.cpp).
BASELINE = ("request path", "kernel_ipmi_probe --count 100 06 01")
# The built-in BMC with a log of 1024 entries (its seven repeated in order).
DEFAULT_SCENARIO = {"sel": {"capacity": 2000, "fillTo": 1024}}
EVENT_DATA = ["MBType", "GenEvt", "SpecEvt1", "SpecEvt2", "SpecEvt3", "SpecEvt4", "SpecEvt5", "RomEN", "RomEPEX"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--work-dir", help="default: BUILD/bench/linux-guest-compare")
    parser.add_argument("--repeat", type=int, default=1, help="runs of each command in the boot")
    parser.add_argument("--scenario", help="tolvane-bmc's scenario (default: the built-in one with its SEL "
                        "repeated to 1024 entries)")
    parser.add_argument("--guest-env", action="append", default=[], help="NAME=VALUE exported in the guest")
    parser.add_argument("--guest-cache", default=os.environ.get("TOLVANE_GUEST_CACHE") or os.path.join(
        os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "tolvane", "linux-guest"))
    parser.add_argument("--qemu", default="qemu-system-x86_64")
    parser.add_argument("--timeout", type=float, default=900)
    parser.add_argument("--json", help="write the figures to this file too")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    work = os.path.abspath(args.work_dir or os.path.join(build, "bench", "linux-guest-compare"))
    tolvane = os.path.join(build, "tolvane-static")
    bmc = os.path.join(build, "tolvane-bmc")
    probe = os.path.join(build, "tests", "linux", "kernel_ipmi_probe")
    data_files = [os.path.join(build, name + ".dat") for name in EVENT_DATA]
    for path in [tolvane, bmc, probe] + data_files:
        if not os.path.exists(path):
            print("bench: %s not found (build targets tolvane-static tolvane-bmc kernel_ipmi_probe "
                  "event_data_files)" % path,
                  file=sys.stderr)
            return 2
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    scenario = os.path.abspath(args.scenario) if args.scenario else os.path.join(work, "scenario.json")
    if not args.scenario:
        with open(scenario, "w") as f:
            json.dump(DEFAULT_SCENARIO, f)

    # ipmitool's batch of Get SEL Entry requests (the default scenario's record IDs).
    batch = os.path.join(work, "sel-raw.txt")
    with open(batch, "w") as f:
        for record in range(1, 1025):
            f.write("raw 0x0a 0x43 0x00 0x00 0x%02x 0x%02x 0x00 0xff\n" % (record & 0xFF, record >> 8))
    data_files.append(batch)

    cases = [{"label": BASELINE[0], "command": BASELINE[1], "run": 1}]
    for label, *commands in COMMANDS:
        for command in commands:
            for run in range(1, args.repeat + 1):
                cases.append({"label": label, "command": command, "run": run})
    try:
        files = runner.guest_files(args.guest_cache, os.path.join(ROOT, "scripts", "linux-guest-deps.sh"))
    except runner.HarnessError as error:
        print("bench: %s" % error, file=sys.stderr)
        return 2
    options = {"kind": "tolvane-bmc", "guest_files": files, "qemu": args.qemu, "timeout": args.timeout,
               "tolvane": tolvane, "programs": [probe], "data_files": data_files, "bmc": bmc,
               "scenario": scenario,
               "env": dict(item.partition("=")[::2] for item in args.guest_env)}
    boot = runner.run_boot(options, cases, work)
    per_case, before, _ = runner.attribute_requests(boot.log or [], runner.case_windows(boot, len(cases)))

    rows = []
    for index, case in enumerate(cases, 1):
        result = boot.results[index - 1]
        begin = boot.marker_times.get("BEGIN-%d" % index)
        end = boot.marker_times.get("END-%d" % index)
        requests = per_case.get(index, [])
        seconds = end - begin if begin is not None and end is not None else None
        rows.append({"what": case["label"], "command": case["command"], "run": case["run"],
                     "status": result["status"] if result else None,
                     "stdout_lines": result["stdout"].count(b"\n") if result else None,
                     "seconds": seconds, "requests": len(requests),
                     "ms_per_request": 1000.0 * seconds / len(requests) if seconds and requests else None})

    print("One boot against tolvane-bmc; times from the guest's console markers (host clock), "
          "process start and exit included")
    print("%-12s %-36s %3s %6s %6s %9s %9s %11s" % ("", "command", "run", "status", "lines", "wall s",
                                                     "requests", "ms/request"))
    for row in rows:
        print("%-12s %-36s %3d %6s %6s %9s %9d %11s" % (
            row["what"], row["command"], row["run"], "-" if row["status"] is None else row["status"],
            "-" if row["stdout_lines"] is None else row["stdout_lines"],
            "-" if row["seconds"] is None else "%.3f" % row["seconds"], row["requests"],
            "-" if row["ms_per_request"] is None else "%.2f" % row["ms_per_request"]))
    for row in rows:
        if row["command"].startswith("tolvane") and row["requests"] == 0:
            print("note: %s sent no request to the BMC (does the tool use the kernel's device yet? "
                  "see --guest-env)" % row["command"])
            break
    if boot.log is not None:
        print("the kernel's own requests while loading the driver: %d" % len(before))
    if boot.started is not None and boot.finished is not None:
        print("whole boot: %.2f s; artefacts in %s" % (boot.finished - boot.started, work))
    for failure in boot.failures:
        print("problem: " + failure)
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"rows": rows, "kernel_requests": len(before), "failures": boot.failures}, f, indent=1)
    return 1 if boot.failures else 0


if __name__ == "__main__":
    sys.exit(main())
