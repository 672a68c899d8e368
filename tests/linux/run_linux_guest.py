#!/usr/bin/env python3
"""Linux guest tier: boots Debian 12's kernel in QEMU once with an initramfs
(tests/linux/guest_initramfs.py) whose /init loads the kernel's IPMI driver,
waits for /dev/ipmi0 and runs the command lines of a case file in order, with
ipmitool and the tool (/bin/tolvane) at hand. Each command's stdout, stderr and
exit status come back on the guest's second serial port and are compared with
the case file.

The BMC behind QEMU's KCS device (isa-ipmi-kcs at 0CA2h) is one of:
  tolvane-bmc  the project's simulated BMC through ipmi-bmc-extern (--bmc);
               its request log tells which requests each case caused
  qemu         QEMU's built-in ipmi-bmc-sim
  ipmi_sim     OpenIPMI's ipmi_sim through ipmi-bmc-extern (tests/peer's
               hook: fresh state, free 127.0.0.1 ports); a case's "after"
               list reads it back over LAN with ipmitool while the guest waits

Case file (JSON): {"cases": [...], "scenario": {...} | "FILE" (tolvane-bmc
only), "qemu_sdr": ["01 00 51 ...", ...] (qemu only: the records QEMU's BMC
holds in its SDR repository, in hexadecimal; default: QEMU's own), "env":
{"NAME": "value"} (exported in the guest)}; a case:
  name, command      a shell command line, run in /work (the event text data
                     files are there)
  status             the exit status expected
  expect             stdout, exactly; or expect_from_host: true, the stdout
                     of the same tolvane command line run on this machine
                     against the simulated BMC with the case file's scenario
                     (see "Host runs" below)
  expect_pattern     a regular expression stdout must match (multi-line)
  expect_stderr      stderr, exactly (default: nothing on stderr)
  stderr_pattern     instead: a regular expression stderr must match
  bmc_requests       the requests (NetFn Cmd Data, hex) tolvane-bmc receives
                     during the case, in order; or bmc_requests_from_host:
                     true, those the simulated BMC received in the host run
  min_bmc_requests   at least this many requests during the case
  after              checks of the BMC from outside after the case (ipmi_sim;
                     the keys of tests/peer/peer_bmc.py)
  compare            checks against ipmitool in the same guest: each
                     {"ipmitool": ARGS, ...} runs "ipmitool ARGS" right after
                     the case (through /dev/ipmi0, as the tool did) and
                     compares its output with the case's by the keys of
                     tests/peer/peer_bmc.py (same_bytes_as_output,
                     same_values, contains, fields, status, ...)

Host runs: the cases with expect_from_host or bmc_requests_from_host run on
this machine first, in case order, against one simulated BMC that keeps its
state from run to run (TOLVANE_PORTS=simulator, a virtual clock), started
from the case file's scenario -- the one tolvane-bmc serves in the boot. The
command must be a tolvane command line; NAME=value words before it set the
guest's environment only (the host run always uses the simulated BMC). A case
that changes the BMC without a host run (or an ipmitool command that takes a
reservation) puts the two BMCs out of step: keep such cases after the last
case compared with the host.

Only the Python standard library is used. Every process started here is ended
here, by its own PID.
"""

import argparse
import base64
import json
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "peer"))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.dont_write_bytecode = True  # keep the source tree clean
import guest_initramfs  # noqa: E402
from harness_common import ConsoleReader, describe_difference, end_process  # noqa: E402

MARK = guest_initramfs.MARK
KINDS = ("tolvane-bmc", "qemu", "ipmi_sim")
KCS_DEVICE = ["-device", "isa-ipmi-kcs,bmc=bmc0,ioport=0xca2"]
CONSOLE_MARK_RE = re.compile(r"(?m)^%s(BOOTED|DEVICE|NODEVICE|BEGIN-\d+|END-\d+|PAUSE-\d+|DONE)\b" % MARK)


class HarnessError(Exception):
    """A failure of the run itself (QEMU, the BMC, the setup)."""


# ---- results of the second serial port ----

def parse_results(text, count):
    """Per case: {"stdout", "stderr" (bytes), "status" (int), "uptime" (begin,
    end)}, or None for a case that did not finish; plus the boot's own markers:
    {"booted", "device", "device_attempt", "device_path", "done" (uptimes),
    "dmesg"}."""
    text = text.replace("\r", "")
    boot = {}
    for name in ("BOOTED", "DONE"):
        match = re.search(r"(?m)^%s%s ([\d.]+)$" % (MARK, name), text)
        boot[name.lower()] = float(match.group(1)) if match else None
    device = re.search(r"(?m)^%sDEVICE ([\d.]+) (\d+) (\S+)$" % MARK, text)
    boot["device"] = float(device.group(1)) if device else None
    boot["device_attempt"] = int(device.group(2)) if device else None
    boot["device_path"] = device.group(3) if device else None
    dmesg = re.search(r"(?ms)^%sDMESG\n(.*?)^%sDONE" % (MARK, MARK), text)
    boot["dmesg"] = base64.b64decode(dmesg.group(1)).decode("utf-8", "replace") if dmesg else None
    cases = []
    for index in range(1, count + 1):
        match = re.search(r"(?ms)^%sBEGIN-%d ([\d.]+)\n%sSTDOUT-%d\n(.*?)^%sSTDERR-%d\n(.*?)^%sEND-%d (\d+) ([\d.]+)$"
                          % (MARK, index, MARK, index, MARK, index, MARK, index), text)
        if not match:
            cases.append(None)
            continue
        cases.append({"stdout": base64.b64decode(match.group(2)), "stderr": base64.b64decode(match.group(3)),
                      "status": int(match.group(4)), "uptime": (float(match.group(1)), float(match.group(5)))})
    return cases, boot


def check_case(case, result, expected_stdout, requests, expected_requests=None):
    """Problems found for one case, as readable lines (empty: passed).
    requests: what tolvane-bmc received during the case, or None (another BMC);
    expected_requests: the case's bmc_requests, or the host run's."""
    if result is None:
        return ["no result for this case on the results port (the guest did not finish it)"]
    problems = []
    stdout = result["stdout"].decode("utf-8", "replace")
    stderr = result["stderr"].decode("utf-8", "replace")
    if result["status"] != case["status"]:
        problems.append("status %d, expected %d" % (result["status"], case["status"]))
    if expected_stdout is not None and stdout != expected_stdout:
        problems.append("stdout differs:\n" + describe_difference(expected_stdout, stdout))
    if "expect_pattern" in case and not re.search(case["expect_pattern"], stdout, re.MULTILINE):
        problems.append("stdout %r does not match %s" % (stdout[:300], case["expect_pattern"]))
    if "stderr_pattern" in case:
        if not re.search(case["stderr_pattern"], stderr, re.MULTILINE):
            problems.append("stderr %r does not match %s" % (stderr[:300], case["stderr_pattern"]))
    elif stderr != case.get("expect_stderr", ""):
        problems.append("stderr differs:\n" + describe_difference(case.get("expect_stderr", ""), stderr))
    if expected_requests is None:
        expected_requests = case.get("bmc_requests")
    if expected_requests is not None and requests != expected_requests:
        problems.append("the BMC received %s, expected %s" % (requests, expected_requests))
    if "min_bmc_requests" in case and requests is not None and len(requests) < case["min_bmc_requests"]:
        problems.append("the BMC received %d requests, expected at least %d" % (len(requests),
                                                                             case["min_bmc_requests"]))
    return problems


def guest_commands(cases):
    """The command lines the guest runs, in order: each case's own, then one
    "ipmitool ARGS" per check of its compare list. Returns them (the case
    itself for its own command) and, per case, the number of its own command
    and those of its comparisons (from 1)."""
    commands, places = [], []
    for case in cases:
        commands.append(case)
        own = len(commands)
        compared = []
        for check in case.get("compare", []):
            commands.append({"name": "%s: ipmitool %s" % (case["name"], check["ipmitool"]),
                             "command": "ipmitool " + check["ipmitool"]})
            compared.append(len(commands))
        places.append((own, compared))
    return commands, places


def compare_in_guest(case, result, ipmitool_results):
    """Problems of a case's compare list, given the case's result and those of
    the ipmitool commands run after it (None: not run)."""
    import peer_bmc  # tests/peer: the checks shared with the peer tier
    problems = []
    output = result["stdout"].decode("utf-8", "replace") if result else ""
    for check, run in zip(case.get("compare", []), ipmitool_results):
        if run is None:
            problems.append("ipmitool %s did not run in the guest" % check["ipmitool"])
            continue
        text = (run["stdout"] + run["stderr"]).decode("utf-8", "replace")
        problems += peer_bmc.compare_check(check, run["status"], text, output)
    return problems


def attribute_requests(log, windows):
    """Splits tolvane-bmc's request log ({"t_mono_us", "request"}) by host time:
    a request belongs to the case whose console markers BEGIN..END enclose it;
    the others were sent before the first case (the kernel probing the BMC) or
    between cases. windows: case number -> (begin, end) in time.monotonic()."""
    per_case = {index: [] for index in windows}
    before, between = [], []
    first = min((begin for begin, _ in windows.values()), default=None)
    for entry in log:
        t = entry["t_mono_us"] / 1e6
        owner = next((index for index, (begin, end) in windows.items() if begin <= t <= end), None)
        if owner is not None:
            per_case[owner].append(entry["request"])
        elif first is None or t < first:
            before.append(entry["request"])
        else:
            between.append(entry["request"])
    return per_case, before, between


def request_summary(requests, limit=8):
    """'17: 06 01 x1, 0A 23 .. x16' -- the commands (NetFn Cmd) with counts."""
    counts = {}
    for request in requests:
        key = " ".join(request.split()[:2])
        counts[key] = counts.get(key, 0) + 1
    shown = ", ".join("%s x%d" % item for item in list(counts.items())[:limit])
    if len(counts) > limit:
        shown += ", ..."
    return "%d%s" % (len(requests), (": " + shown) if requests else "")


# ---- processes ----

class TolvaneBmc:
    """build/tolvane-bmc behind ipmi-bmc-extern, with its request log."""

    name = "tolvane-bmc"

    def __init__(self, work, program, scenario):
        self.work = work
        self.program = program
        self.scenario = scenario
        self.process = None
        self.stats_file = os.path.join(work, "bmc-stats.json")
        self.log_path = os.path.join(work, "bmc.log")

    def start(self):
        port_file = os.path.join(self.work, "bmc-port.txt")
        command = [self.program, "--port", "0", "--port-file", port_file, "--stats", self.stats_file,
                   # The kernel's driver waits seconds for an answer, not microseconds.
                   "--no-realtime"]
        if self.scenario:
            command += ["--scenario", self.scenario]
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise HarnessError("tolvane-bmc exited with %d before listening (log: %s)"
                                   % (self.process.returncode, self.log_path))
            try:
                with open(port_file) as f:
                    text = f.read().strip()
                if text:
                    return ["-chardev", "socket,id=ipmi0,host=127.0.0.1,port=%d,reconnect=10" % int(text),
                            "-device", "ipmi-bmc-extern,chardev=ipmi0,id=bmc0"] + KCS_DEVICE
            except FileNotFoundError:
                pass
            time.sleep(0.02)
        raise HarnessError("tolvane-bmc did not report its port within 10 s")

    def alive(self):
        if self.process is not None and self.process.poll() is not None:
            return "tolvane-bmc exited with %d during the boot (log: %s)" % (self.process.returncode, self.log_path)
        return None

    def after_case(self, index, case, output, status):
        return ["checks after a case read the BMC over LAN; tolvane-bmc has no LAN side (use ipmi_sim)"]

    def stop(self):
        """Ends the server (it writes its statistics then); returns a problem or None."""
        gone = self.alive()
        end_process(self.process, "tolvane-bmc")
        if gone:
            return gone
        if self.process is not None and self.process.returncode not in (0, -signal.SIGTERM):
            return "tolvane-bmc ended with status %s" % self.process.returncode
        return None

    def stats(self):
        with open(self.stats_file) as f:
            return json.load(f)


def create_bmc(kind, work, options):
    if kind == "tolvane-bmc":
        return TolvaneBmc(work, options["bmc"], options.get("scenario"))
    import peer_bmc  # tests/peer: ipmi_sim and QEMU's built-in BMC
    peer_options = dict(options.get("peer") or {})
    peer_options["bmc"] = "builtin" if kind == "qemu" else "ipmi_sim"
    return peer_bmc.create_bmc(work, peer_options)


def guest_files(cache, deps_script):
    """The directory with vmlinuz, the modules and busybox: the cache's, else
    what the dependency script downloads."""
    files = os.path.join(cache, "files") if cache else None
    if files and os.path.exists(os.path.join(files, "VERSIONS")):
        return files
    if not deps_script:
        raise HarnessError("no guest kernel files in %s; run scripts/linux-guest-deps.sh" % files)
    run = subprocess.run([deps_script] + ([cache] if cache else []), stdout=subprocess.PIPE, timeout=1800)
    lines = run.stdout.decode().strip().splitlines()
    if run.returncode != 0 or not lines:
        raise HarnessError("%s failed (status %d)" % (deps_script, run.returncode))
    return lines[-1]


# ---- one boot ----

class Boot:
    """What one boot gave: the parsed results, the boot's markers, the console
    marker times (host clock), the BMC's request log and the wall times."""

    def __init__(self):
        self.results = []
        self.boot = {}
        self.marker_times = {}
        self.log = None
        self.stats = None
        self.failures = []
        self.after_problems = {}
        self.started = self.finished = None
        self.initramfs_bytes = 0
        self.console = ""


def run_boot(options, cases, work):
    """Builds the initramfs, starts the BMC and QEMU, serves pauses, waits for
    the power-off and collects everything. options: kind, guest_files, qemu,
    timeout, tolvane, programs, data_files, ipmitool, env, and the BMC's (bmc,
    scenario, peer)."""
    boot = Boot()
    initramfs = os.path.join(work, "initramfs.cpio")
    guest_cases = [{"command": case["command"], "pause": bool(case.get("after"))} for case in cases]
    boot.initramfs_bytes = guest_initramfs.build(initramfs, options["guest_files"], guest_cases,
                                                 tolvane=options.get("tolvane"),
                                                 data_files=options.get("data_files", []),
                                                 ipmitool=options.get("ipmitool", "/usr/bin/ipmitool"),
                                                 programs=options.get("programs", []),
                                                 environment=options.get("env"))
    results_path = os.path.join(work, "results.txt")
    bmc = create_bmc(options["kind"], work, options)
    qemu = reader = None
    served = set()
    try:
        try:
            bmc_devices = bmc.start()
        except HarnessError:
            raise
        except Exception as error:
            raise HarnessError("%s did not start: %s" % (bmc.name, error))
        command = [options.get("qemu", "qemu-system-x86_64"), "-machine", "q35", "-m", "256", "-smp", "1",
                   "-nographic", "-no-reboot", "-net", "none", "-monitor", "none",
                   "-kernel", os.path.join(options["guest_files"], "vmlinuz"), "-initrd", initramfs,
                   "-append", "console=ttyS0 rdinit=/init panic=-1 quiet",
                   "-serial", "stdio", "-serial", "file:" + results_path] + bmc_devices
        with open(os.path.join(work, "qemu-command.txt"), "w") as f:
            f.write(" ".join(shlex.quote(part) for part in command) + "\n")
        boot.started = time.monotonic()
        qemu = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        reader = ConsoleReader(qemu.stdout, os.path.join(work, "console.raw"), CONSOLE_MARK_RE)
        reader.start()
        deadline = boot.started + options.get("timeout", 180)
        while time.monotonic() < deadline and qemu.poll() is None:
            gone = bmc.alive()
            if gone:
                raise HarnessError(gone)
            serve_pauses(reader, qemu, bmc, cases, results_path, served, boot.after_problems)
            reader.changed.wait(0.05)
            reader.changed.clear()
        if qemu.poll() is None:
            raise HarnessError("the guest did not power off within %.0f s (console: %s)"
                               % (options.get("timeout", 180), os.path.join(work, "console.txt")))
        reader.join(timeout=5)
        boot.finished = time.monotonic()
        if qemu.returncode != 0:
            boot.failures.append("QEMU exited with %d" % qemu.returncode)
    except HarnessError as error:
        boot.failures.append(str(error))
        boot.finished = time.monotonic()
    finally:
        end_process(qemu, "QEMU")
        try:
            problem = bmc.stop()
        except Exception as error:
            problem = "stopping the BMC failed: %s" % error
        if problem:
            boot.failures.append(problem)

    boot.console = reader.text() if reader else ""
    with open(os.path.join(work, "console.txt"), "w") as f:
        f.write(boot.console)
    try:
        with open(results_path, "rb") as f:
            results_text = f.read().decode("utf-8", "replace")
    except OSError:
        results_text = ""
    boot.results, boot.boot = parse_results(results_text, len(cases))
    boot.marker_times = dict(reader.marker_times) if reader else {}
    for index, case in enumerate(cases, 1):
        if case.get("after") and boot.results[index - 1] is not None and index not in served:
            boot.after_problems.setdefault(index, []).append("the guest never paused after the case")
    if isinstance(bmc, TolvaneBmc):
        try:
            boot.stats = bmc.stats()
            boot.log = boot.stats["log"]
        except (OSError, ValueError, KeyError) as error:
            boot.failures.append("no statistics from tolvane-bmc: %s" % error)
    if boot.boot.get("booted") is not None and boot.boot.get("device") is None:
        boot.failures.append("the guest found no IPMI device (see %s: ipmi_si's messages)"
                             % os.path.join(work, "console.txt"))
    return boot


def serve_pauses(reader, qemu, bmc, cases, results_path, served, problems):
    """Checks the BMC from outside for every case that has paused, then lets the
    guest go on with a line on its console."""
    for index, case in enumerate(cases, 1):
        if not case.get("after") or index in served:
            continue
        if reader.time_of("PAUSE-%d" % index) is None:
            return
        served.add(index)
        with open(results_path, "rb") as f:
            result = parse_results(f.read().decode("utf-8", "replace"), index)[0][index - 1]
        output = result["stdout"].decode("utf-8", "replace") if result else None
        try:
            found = bmc.after_case(index, case, output, result["status"] if result else None)
        except Exception as error:  # a broken check must fail the case, not hang the guest
            found = ["the check after the case raised %s: %s" % (type(error).__name__, error)]
        problems.setdefault(index, []).extend(found)
        if qemu.poll() is None:
            qemu.stdin.write(b"\n")
            qemu.stdin.flush()


def case_windows(boot, count):
    windows = {}
    for index in range(1, count + 1):
        begin = boot.marker_times.get("BEGIN-%d" % index)
        end = boot.marker_times.get("END-%d" % index)
        if begin is not None and end is not None:
            windows[index] = (begin, end)
    return windows


ASSIGNMENT_RE = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*=")


def host_expectations(cases, tolvane, data_files, work, scenario=None):
    """The host run of every case with expect_from_host or
    bmc_requests_from_host (see "Host runs" above): case number -> (stdout,
    the requests the simulated BMC received)."""
    expectations = {}
    folder = os.path.join(work, "host")
    os.makedirs(folder, exist_ok=True)
    for path in data_files:
        with open(path, "rb") as source, open(os.path.join(folder, os.path.basename(path)), "wb") as target:
            target.write(source.read())
    request_log = os.path.join(work, "host-requests.txt")
    # The data files of the folder only (as in the guest's /work), never installed ones.
    env = dict(os.environ, TOLVANE_PORTS="simulator", TOLVANE_VIRTUAL_CLOCK="1",
               TOLVANE_BMC_STATE=os.path.join(work, "host-bmc-state.json"),
               TOLVANE_DATA_DIR=os.path.join(work, "no-installed-data"), TOLVANE_BMC_REQUEST_LOG=request_log)
    env.pop("TOLVANE_BMC_SCENARIO", None)
    if scenario:
        env["TOLVANE_BMC_SCENARIO"] = scenario
    for index, case in enumerate(cases, 1):
        if not (case.get("expect_from_host") or case.get("bmc_requests_from_host")):
            continue
        words = shlex.split(case["command"])
        while words and ASSIGNMENT_RE.match(words[0]):
            words.pop(0)  # the guest's environment for this command
        if not words or words[0] != "tolvane" or not tolvane:
            raise HarnessError("case %d (%s): a host run needs a tolvane command line and --tolvane"
                               % (index, case["name"]))
        with open(request_log, "w"):
            pass
        run = subprocess.run([tolvane] + words[1:], cwd=folder, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=60)
        if run.returncode != case["status"]:
            raise HarnessError("case %d (%s): the host run exits %d, the case expects %d"
                               % (index, case["name"], run.returncode, case["status"]))
        with open(request_log) as f:
            requests = f.read().splitlines()
        expectations[index] = (run.stdout.decode("utf-8", "replace"), requests)
    return expectations


def load_scenario(case_file, cases_path, work):
    """The case file's scenario for tolvane-bmc as a file, or None (built in)."""
    scenario = case_file.get("scenario")
    if scenario is None:
        return None
    if isinstance(scenario, str):
        return os.path.join(os.path.dirname(cases_path), scenario)
    path = os.path.join(work, "scenario.json")
    with open(path, "w") as f:
        json.dump(scenario, f, indent=2)
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--kind", choices=KINDS, required=True, help="the BMC behind QEMU's KCS device")
    parser.add_argument("--cases", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--bmc", help="tolvane-bmc (for --kind tolvane-bmc)")
    parser.add_argument("--peer-arg", action="append", default=[],
                        help="KEY=VALUE for tests/peer/peer_bmc.py (ipmi_sim: config=DIR, emu=FILE)")
    parser.add_argument("--tolvane", help="the tool for the guest's /bin/tolvane (a static build: tolvane-static)")
    parser.add_argument("--guest-program", action="append", default=[],
                        help="another program for the guest's /bin (a static build; repeatable)")
    parser.add_argument("--data-file", action="append", default=[], help="a file for the guest's /work (repeatable)")
    parser.add_argument("--guest-cache", default=os.environ.get("TOLVANE_GUEST_CACHE") or os.path.join(
        os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "tolvane", "linux-guest"),
        help="where scripts/linux-guest-deps.sh keeps the kernel, its modules and busybox")
    parser.add_argument("--deps-script", help="scripts/linux-guest-deps.sh, run when the cache is empty")
    parser.add_argument("--ipmitool", default="/usr/bin/ipmitool")
    parser.add_argument("--qemu", default="qemu-system-x86_64")
    parser.add_argument("--timeout", type=float, default=180, help="seconds for the whole boot")
    args = parser.parse_args()

    with open(args.cases) as f:
        case_file = json.load(f)
    cases = case_file["cases"]
    for index, case in enumerate(cases, 1):
        if (any(key in case for key in ("bmc_requests", "min_bmc_requests", "bmc_requests_from_host"))
                and args.kind != "tolvane-bmc"):
            print("harness: case %d (%s) counts requests, which only tolvane-bmc logs" % (index, case["name"]),
                  file=sys.stderr)
            return 2
        if case.get("after") and args.kind != "ipmi_sim":
            print("harness: case %d (%s) has checks after it, which only ipmi_sim answers" % (index, case["name"]),
                  file=sys.stderr)
            return 2
    if args.kind == "tolvane-bmc" and not (args.bmc and os.path.exists(args.bmc)):
        print("harness: --kind tolvane-bmc needs --bmc (build target tolvane-bmc)", file=sys.stderr)
        return 2

    work = os.path.abspath(args.work_dir)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    data_files = [os.path.abspath(path) for path in args.data_file]
    tolvane = os.path.abspath(args.tolvane) if args.tolvane else None
    scenario = load_scenario(case_file, os.path.abspath(args.cases), work)
    try:
        files = guest_files(args.guest_cache, args.deps_script)
        expectations = host_expectations(cases, tolvane, data_files, work, scenario)
    except (HarnessError, subprocess.SubprocessError, OSError) as error:
        print("harness: %s" % error, file=sys.stderr)
        return 2
    peer = dict(item.partition("=")[::2] for item in args.peer_arg)
    # ipmi_sim runs in its own folder: paths given relative to here must stay valid.
    peer = {key: os.path.abspath(value) if key in ("config", "emu") and os.path.exists(value) else value
            for key, value in peer.items()}
    if case_file.get("qemu_sdr"):
        if args.kind != "qemu":
            print("harness: qemu_sdr is for --kind qemu", file=sys.stderr)
            return 2
        peer["sdrfile"] = os.path.join(work, "qemu-sdr.bin")
        with open(peer["sdrfile"], "wb") as f:
            f.write(b"".join(bytes.fromhex(record) for record in case_file["qemu_sdr"]))
    options = {"kind": args.kind, "guest_files": files, "qemu": args.qemu, "timeout": args.timeout,
               "tolvane": tolvane, "data_files": data_files, "ipmitool": args.ipmitool, "env": case_file.get("env"),
               "programs": [os.path.abspath(path) for path in args.guest_program],
               "bmc": os.path.abspath(args.bmc) if args.bmc else None, "scenario": scenario, "peer": peer}
    commands, places = guest_commands(cases)
    try:
        boot = run_boot(options, commands, work)
    except (RuntimeError, OSError) as error:  # the initramfs could not be built
        print("harness: %s" % error, file=sys.stderr)
        return 2
    failures = list(boot.failures)

    windows = case_windows(boot, len(commands))
    per_command, before, between = attribute_requests(boot.log or [], windows)
    print("Linux guest tier: %d cases in one boot against %s" % (len(cases), args.kind))
    passed = 0
    for index, case in enumerate(cases, 1):
        own, compared = places[index - 1]
        result = boot.results[own - 1]
        requests = per_command.get(own) if boot.log is not None else None
        host_stdout, host_requests = expectations.get(index, (None, None))
        expected_stdout = host_stdout if case.get("expect_from_host") else case.get("expect")
        problems = check_case(case, result, expected_stdout, requests,
                              host_requests if case.get("bmc_requests_from_host") else None)
        problems += boot.after_problems.get(own, [])
        problems += compare_in_guest(case, result, [boot.results[number - 1] for number in compared])
        took = " (%.2f s)" % (result["uptime"][1] - result["uptime"][0]) if result else ""
        status = result["status"] if result else "-"
        if problems:
            failures.append("case %d failed" % index)
            print("  FAIL %d. %s: %s%s" % (index, case["name"], case["command"], took))
            for problem in problems:
                print("       " + problem.replace("\n", "\n       "))
            if result:
                print("       stdout: %r" % result["stdout"][:400])
                print("       stderr: %r" % result["stderr"][:400])
        else:
            passed += 1
            print("  ok   %d. %s: %s -> %s%s" % (index, case["name"], case["command"], status, took))
        if requests is not None:
            print("       BMC requests %s" % request_summary(requests))

    print("Measurements:")
    markers = boot.marker_times
    if boot.started is not None:
        if "BOOTED" in markers:
            print("  QEMU start to /init:          %.2f s" % (markers["BOOTED"] - boot.started))
        if "DEVICE" in markers:
            print("  QEMU start to /dev/ipmi0:     %.2f s (guest uptime %.2f s, attempt %s, %s)" % (
                markers["DEVICE"] - boot.started, boot.boot["device"], boot.boot["device_attempt"],
                boot.boot["device_path"]))
        if "BEGIN-1" in markers and "END-%d" % len(commands) in markers:
            print("  all cases:                    %.2f s" % (markers["END-%d" % len(commands)] - markers["BEGIN-1"]))
        print("  whole boot (QEMU start to exit): %.2f s" % (boot.finished - boot.started))
    print("  initramfs:                    %.1f MiB" % (boot.initramfs_bytes / 1048576.0))
    if boot.log is not None:
        print("  BMC requests: %d in all; %s while the kernel loaded the driver; %d between cases" % (
            len(boot.log), request_summary(before), len(between)))
    if boot.boot.get("dmesg"):
        with open(os.path.join(work, "dmesg-ipmi.txt"), "w") as f:
            f.write(boot.boot["dmesg"])
    print("  artefacts in %s" % work)
    if failures:
        print("FAILED: " + "; ".join(failures))
        return 1
    print("PASSED: %d of %d cases" % (passed, len(cases)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
