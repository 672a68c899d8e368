#!/usr/bin/env python3
"""UEFI shell tier: boots OVMF's UEFI shell in QEMU once, runs every case of a
table with tolvane.efi against tolvane-bmc (QEMU's ipmi-bmc-extern device wired
to it over 127.0.0.1), and compares each command's console output and
%lasterror% with the table. Also reports how long the boot and each command took
and how quickly the BMC answered (the KCS IBF budget of the tool in the guest is
a few hundred microseconds of real time).

With --hook FILE the BMC is not tolvane-bmc but whatever the hook module
starts (for example an independent BMC, or QEMU's built-in one): the hook gives
QEMU's BMC device options, may check the BMC's state from outside while the
guest waits after a case (cases with an "after" list pause the shell there), and
ends what it started.

Only the Python standard library is used. Every process started here is ended
here, by its own PID.
"""

import argparse
import importlib.util
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

# How QEMU and the BMC are run against QEMU's KCS stalls (memory locked,
# real-time priorities, one CPU), shared with scripts/run-shell.sh.
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from harness_common import ConsoleReader, describe_difference, end_process  # noqa: E402
from kcs_stall_measures import prefer_thread, qemu_memory_options, share_one_cpu  # noqa: E402

MARK_BEGIN = "TVCASE-BEGIN-"
MARK_END = "TVCASE-END-"
MARK_FILE_BEGIN = "TVFILE-BEGIN-"
MARK_FILE_END = "TVFILE-END-"
MARK_DONE = "TVCASES-DONE"
MARK_PAUSE = "TVPAUSE-"
# What the shell's 'pause' command prints while it waits for a key.
PAUSE_PROMPT = "any other key to continue"
COUNTDOWN_TEXT = "Press ESC in"

# The lines that mark a case's begin, end and pause, and the end of all cases.
MARKER_RE = re.compile(r"(?m)^(%s\d+|%s\d+|%s\d+|%s)\b" % (MARK_BEGIN, MARK_END, MARK_PAUSE, MARK_DONE))


# Lines the tool prints when a KCS transfer timed out in the guest.
KCS_TIMEOUT_LINES = ("Error: It is timeout for IBF clear.", "Error: time out.")
# What the last boot left for the retry decision (see run_with_retries).
LAST_RUN = {}


class HarnessError(Exception):
    """A failure of the run itself (QEMU, the BMC server, the setup)."""


def program(case):
    """The application a case runs: tolvane.efi unless the case names another."""
    return case.get("program", "tolvane.efi")


def case_command(case):
    """The command line a case runs: its program with its args, or the shell
    command of a "shell" case (e.g. hexdump of a file the tool wrote)."""
    if case.get("shell"):
        return case["shell"]
    return program(case) + ((" " + case["args"]) if case["args"] else "")


def case_directory(case_index):
    """Where a case that leaves out data files runs: a folder of FS0: holding
    the others."""
    return "case%d" % case_index


def shell_line(case_index, case):
    """The startup.nsh lines of one case (without line ends). The case's
    "setup" lines (shell commands such as 'echo 1 >a fru_source_index') run
    before its begin marker, so nothing they print is taken as output."""
    command = case_command(case)
    lines = list(case.get("setup", []))
    lines.append("echo %s%d" % (MARK_BEGIN, case_index))
    if case.get("without_data_files"):
        lines.append("cd \\%s" % case_directory(case_index))
        command = "fs0:\\" + command
    if case.get("show_file"):
        # A file the command leaves in the current directory, shown by 'type'.
        lines.append(command)
        lines.append("echo %s%d %%lasterror%%" % (MARK_END, case_index))
        lines.append("echo %s%d" % (MARK_FILE_BEGIN, case_index))
        lines.append("type %s" % case["show_file"])
        lines.append("echo %s%d" % (MARK_FILE_END, case_index))
    elif case.get("redirect"):
        out_file = "out%d.txt" % case_index
        lines.append("%s > %s" % (command, out_file))
        lines.append("echo %s%d %%lasterror%%" % (MARK_END, case_index))
        lines.append("echo %s%d" % (MARK_FILE_BEGIN, case_index))
        lines.append("type %s" % out_file)
        lines.append("echo %s%d" % (MARK_FILE_END, case_index))
    else:
        lines.append(command)
        lines.append("echo %s%d %%lasterror%%" % (MARK_END, case_index))
    if case.get("without_data_files"):
        lines.append("cd \\")
    if case.get("after"):
        # The guest waits here while the harness checks the BMC from outside.
        lines.append("echo %s%d" % (MARK_PAUSE, case_index))
        lines.append("pause")
    return lines


def startup_script(cases):
    """The whole startup.nsh: CRLF lines, command echo off, ends with a power-off."""
    lines = ["@echo -off", "fs0:", "cd \\"]
    for index, case in enumerate(cases, 1):
        lines.extend(shell_line(index, case))
    lines.append("echo " + MARK_DONE)
    lines.append("reset -s")
    return "".join(line + "\r\n" for line in lines)


def parse_results(text, count):
    """Per case: output text, status text (e.g. '0x1F'), and the text 'type'
    showed for redirected cases. Missing pieces are None."""
    results = []
    for index in range(1, count + 1):
        result = {"output": None, "status": None, "file": None}
        begin = re.search(r"(?m)^%s%d\n" % (MARK_BEGIN, index), text)
        if begin:
            end = re.compile(r"%s%d (\S*)\n" % (MARK_END, index)).search(text, begin.end())
            if end:
                result["output"] = text[begin.end():end.start()]
                result["status"] = end.group(1)
                file_begin = re.compile(r"(?m)^%s%d\n" % (MARK_FILE_BEGIN, index)).search(text, end.end())
                if file_begin:
                    file_end = re.compile(r"%s%d\n" % (MARK_FILE_END, index)).search(text, file_begin.end())
                    if file_end:
                        result["file"] = text[file_begin.end():file_end.start()]
        results.append(result)
    return results


def status_text(status):
    """%lasterror% as the UEFI shell prints it: 31 -> 0x1F."""
    return "0x%X" % status


def check_case(case, result, expected_text, requests):
    """Problems found for one case, as readable lines (empty: passed)."""
    problems = []
    if result["output"] is None:
        return ["no output markers for this case in the console log (the command or the shell did not finish)"]
    if result["status"] != status_text(case["status"]):
        problems.append("status %s, expected %s" % (result["status"], status_text(case["status"])))
    shown = result["output"]
    if case.get("redirect"):
        if shown != "":
            problems.append("output reached the console despite '>': %r" % shown[:200])
        shown = result["file"]
        if shown is None:
            return problems + ["'type' of the redirected output did not finish"]
        # 'type' ends what it shows with one line break of its own.
        if shown.endswith("\n\n"):
            shown = shown[:-1]
    if expected_text is not None and shown != expected_text:
        problems.append("output differs:\n" + describe_difference(expected_text, shown))
    if "expect_lines" in case and shown.count("\n") != case["expect_lines"]:
        problems.append("%d lines, expected %d" % (shown.count("\n"), case["expect_lines"]))
    if "expect_pattern" in case and not re.search(case["expect_pattern"], shown):
        problems.append("output %r does not match %s" % (shown[:200], case["expect_pattern"]))
    if "bmc_requests" in case and requests != case["bmc_requests"]:
        problems.append("BMC received %s, expected %s" % (requests, case["bmc_requests"]))
    if "expect_file" in case:
        shown_file = result["file"]
        if shown_file is None:
            problems.append("'type %s' did not finish" % case["show_file"])
        else:
            # 'type' ends what it shows with one line break of its own.
            if shown_file.endswith("\n\n"):
                shown_file = shown_file[:-1]
            if shown_file != case["expect_file"]:
                problems.append("%s differs:\n%s" % (case["show_file"],
                                                     describe_difference(case["expect_file"], shown_file)))
    if "console_cleared" in case and result.get("cleared") != case["console_cleared"]:
        problems.append("the screen was %s during the case" % ("cleared" if result.get("cleared") else "not cleared"))
    return problems


def screen_clears(raw, count):
    """Per case: whether the console received a clear-screen sequence (ESC [ 2 J)
    between the case's begin and end markers; None when the markers are missing.
    Read from the raw console, before escapes are stripped."""
    text = raw.decode("utf-8", errors="replace")
    cleared = []
    for index in range(1, count + 1):
        begin = re.search(r"%s%d\r?\n" % (MARK_BEGIN, index), text)
        end = re.compile(r"%s%d " % (MARK_END, index)).search(text, begin.end()) if begin else None
        cleared.append(None if not end else "\x1b[2J" in text[begin.end():end.start()])
    return cleared


def attribute_requests(log, begin_times, count):
    """Splits the BMC's request log between the cases by time: a request belongs
    to the last case whose begin marker had appeared before it (the guest loads
    the application from disk after echoing the marker, long before any KCS
    transfer)."""
    per_case = [[] for _ in range(count)]
    unattributed = []
    for entry in log:
        t = entry["t_mono_us"] / 1e6
        owner = None
        for index in range(count):
            started = begin_times.get(index + 1)
            if started is not None and started <= t:
                owner = index
        if owner is None:
            unattributed.append(entry["request"])
        else:
            per_case[owner].append(entry["request"])
    return per_case, unattributed


# Extra answer delays for the margin probe, one per request, growing: the guest's
# real-time IBF budget lies between the last delay answered in time and the first
# that was not. Requests after the first failure are not evaluated (the KCS
# interface in QEMU is left in its error state by a timed-out transfer).
PROBE_DELAYS_US = [0, 100, 200, 300, 400, 500, 600, 800, 1000, 1500, 2000, 4000]


def margin_probe_cases():
    return [{"name": "Get Device ID answered %d us late" % delay, "args": "-raw 06 01", "status": 0,
             "expect_pattern": r"^([0-9A-F]{2} )+\n$"} for delay in PROBE_DELAYS_US]


def report_margin(results):
    last_ok = None
    first_bad = None
    for delay, result in zip(PROBE_DELAYS_US, results):
        ok = result["status"] == "0x0" and re.search(r"^([0-9A-F]{2} )+\n$", result["output"] or "")
        if ok and first_bad is None:
            last_ok = delay
        elif not ok and first_bad is None:
            first_bad = delay
    print("IBF margin probe (extra delay added by the BMC after its own answer time):")
    print("  largest extra delay answered in time: %s" % ("none" if last_ok is None else "%d us" % last_ok))
    print("  first extra delay that timed out:     %s" % ("none up to %d us" % PROBE_DELAYS_US[-1]
                                                         if first_bad is None else "%d us" % first_bad))


def place_data_files(data_files, cases, root):
    """Copies the data files (--data-file) into root, and for each case with
    "without_data_files" into its own folder there, leaving those out."""
    names = [os.path.basename(path) for path in data_files]
    for path in data_files:
        shutil.copy(path, os.path.join(root, os.path.basename(path)))
    for index, case in enumerate(cases, 1):
        left_out = case.get("without_data_files")
        if not left_out:
            continue
        unknown = [name for name in left_out if name not in names]
        if unknown:
            raise HarnessError("case %d (%s) leaves out %s, which no --data-file gives" % (index, case["name"], unknown))
        folder = os.path.join(root, case_directory(index))
        os.makedirs(folder, exist_ok=True)
        for path in data_files:
            if os.path.basename(path) not in left_out:
                shutil.copy(path, os.path.join(folder, os.path.basename(path)))


def host_expectations(args, cases, scenario_file, work_dir):
    """Runs the host tool for every case that takes its expectation from it, in
    case order against one state (as the BMC in the boot keeps its state), in a
    folder with the same data files as the case has on FS0:."""
    expectations = {}
    state = os.path.join(work_dir, "host-bmc-state.json")
    files = os.path.join(work_dir, "host-files")
    os.makedirs(files, exist_ok=True)
    place_data_files(args.data_file, cases, files)
    env = dict(os.environ)
    # The data files of the case's folder only, as in the shell: no installed ones.
    env.update({"TOLVANE_PORTS": "simulator", "TOLVANE_VIRTUAL_CLOCK": "1", "TOLVANE_BMC_SCENARIO": scenario_file,
                "TOLVANE_BMC_STATE": state, "TOLVANE_DATA_DIR": os.path.join(work_dir, "no-installed-data")})
    for index, case in enumerate(cases, 1):
        if not case.get("expect_from_host"):
            continue
        if not args.host_tool or not os.path.exists(args.host_tool):
            raise HarnessError("case %d needs the host tool, not found at %s" % (index, args.host_tool))
        cwd = os.path.join(files, case_directory(index)) if case.get("without_data_files") else files
        run = subprocess.run([args.host_tool] + case["args"].split(), env=env, cwd=cwd,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        text = run.stdout.decode("utf-8", errors="replace")
        if run.returncode != case["status"]:
            raise HarnessError("case %d (%s): the host tool exits %d, the table expects %d; fix the table or the tool"
                               % (index, case["name"], run.returncode, case["status"]))
        expectations[index] = text
    return expectations


def esp_drive(esp, work, as_image):
    """FS0:'s drive: the ESP folder through QEMU's vvfat, or, for a case file
    with "esp_image": true, a raw FAT volume of its files (mkfs.fat, mcopy), on
    which the shell can set file attributes (vvfat cannot hold a read-only
    file). What the boot writes there is not read back: cases show files with
    'type' on the console."""
    if not as_image:
        return "format=raw,file=fat:rw:" + esp
    image = os.path.join(work, "esp.img")
    subprocess.run(["mkfs.fat", "-C", "-F", "16", image, "32768"], check=True, stdout=subprocess.DEVNULL)
    entries = [os.path.join(esp, name) for name in sorted(os.listdir(esp))]
    subprocess.run(["mcopy", "-s", "-i", image] + entries + ["::/"], check=True)
    return "format=raw,file=" + image


def build_fat_disks(volumes, work):
    """Raw FAT volumes (no partition table) beside the ESP, for cases that need
    what vvfat cannot give: file attributes set beforehand, a volume with no
    free cluster. Each volume: {"size_kib": N, "files": {NAME: {"hex": ".."} or
    {"text": ".."}}, "attributes": {NAME: "+r"}, "full": true}. Built with
    dosfstools and mtools; the shell maps them after FS0: (FS1:, FS2:, ...)."""
    options = []
    for number, volume in enumerate(volumes, 1):
        image = os.path.join(work, "fat%d.img" % number)
        subprocess.run(["mkfs.fat", "-C", image, str(volume.get("size_kib", 256))], check=True,
                       stdout=subprocess.DEVNULL)
        for name, content in volume.get("files", {}).items():
            source = os.path.join(work, "fat%d-%s" % (number, name))
            with open(source, "wb") as f:
                f.write(bytes.fromhex(content["hex"]) if "hex" in content else content["text"].encode())
            subprocess.run(["mcopy", "-i", image, source, "::/" + name], check=True)
        if volume.get("full"):
            free = re.search(r"([\d ]+) bytes free", subprocess.run(
                ["mdir", "-i", image, "::/"], check=True, stdout=subprocess.PIPE).stdout.decode())
            filler = os.path.join(work, "fat%d-filler" % number)
            with open(filler, "wb") as f:
                f.write(bytes(int(free.group(1).replace(" ", ""))))
            subprocess.run(["mcopy", "-i", image, filler, "::/FILLER.BIN"], check=True)
        for name, attribute in volume.get("attributes", {}).items():
            subprocess.run(["mattrib", "-i", image, attribute, "::/" + name], check=True)
        options += ["-drive", "format=raw,file=" + image]
    return options


def wait_for_port(port_file, server, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if server.poll() is not None:
            raise HarnessError("tolvane-bmc exited with %d before listening" % server.returncode)
        try:
            with open(port_file) as f:
                text = f.read().strip()
            if text:
                return int(text)
        except FileNotFoundError:
            pass
        time.sleep(0.02)
    raise HarnessError("tolvane-bmc did not report its port within %.0f s" % timeout)


def load_hook(path, hook_args, work_dir):
    """The hook module's BMC: an object with start() -> QEMU BMC device
    options, alive() -> None or a text saying why the BMC is gone,
    after_case(index, case, output, status) -> problems, and stop()."""
    source = importlib.util.spec_from_file_location("uefi_tier_hook", path)
    module = importlib.util.module_from_spec(source)
    sys.dont_write_bytecode = True  # keep the source tree clean
    source.loader.exec_module(module)
    options = {}
    for item in hook_args:
        key, _, value = item.partition("=")
        options[key] = value
    return module.create_bmc(work_dir, options)


def serve_pauses(reader, qemu, hook, cases, served, case_problems):
    """Runs the hook's checks for every case whose pause marker has appeared
    and not been served yet, then lets the guest go on with a key press."""
    text = reader.text()
    for index, case in enumerate(cases, 1):
        if not case.get("after") or index in served:
            continue
        marker = re.search(r"(?m)^%s%d\n" % (MARK_PAUSE, index), text)
        if not marker:
            return
        if PAUSE_PROMPT not in text[marker.end():]:
            return  # 'pause' has not started reading keys yet
        served.add(index)
        result = parse_results(text, index)[index - 1]
        try:
            problems = hook.after_case(index, case, result["output"], result["status"])
        except Exception as error:  # a broken check must fail the case, not hang the guest
            problems = ["the check after the case raised %s: %s" % (type(error).__name__, error)]
        case_problems.setdefault(index, []).extend(problems)
        if qemu.poll() is None:
            qemu.stdin.write(b"c")
            qemu.stdin.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--efi", required=True)
    parser.add_argument("--bmc", help="tolvane-bmc (required unless --hook gives the BMC)")
    parser.add_argument("--hook", help="Python file whose create_bmc(work_dir, options) starts the BMC instead "
                                       "of tolvane-bmc and checks it after cases that have an 'after' list")
    parser.add_argument("--hook-arg", action="append", default=[], help="KEY=VALUE option for the hook (repeatable)")
    parser.add_argument("--host-tool", help="the host build of the tool, for expectations")
    parser.add_argument("--data-file", action="append", default=[],
                        help="a file put on FS0: beside tolvane.efi (repeatable), e.g. the event text data files; "
                             "a case's \"without_data_files\" runs it in a folder that lacks the ones named")
    parser.add_argument("--cases", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--ovmf-code", default="/usr/share/OVMF/OVMF_CODE_4M.fd")
    parser.add_argument("--ovmf-vars", default="/usr/share/OVMF/OVMF_VARS_4M.fd")
    parser.add_argument("--qemu", default="qemu-system-x86_64")
    parser.add_argument("--timeout", type=float, default=240, help="seconds for the whole boot")
    parser.add_argument("--bmc-arg", action="append", default=[], help="extra tolvane-bmc option (repeatable)")
    parser.add_argument("--esp-file", action="append", default=[],
                        help="another file for FS0:\\ beside tolvane.efi, e.g. tablornX64.efi (repeatable)")
    parser.add_argument("--retries", type=int, default=0,
                        help="boot again, up to N times, when the boot failed and the console shows a KCS transfer "
                             "that timed out in the guest (the BMC's answer came later than the tool's IBF wait of "
                             "a few hundred microseconds: a host that stalled); the artefacts of every attempt are "
                             "kept; other failures are never retried")
    parser.add_argument("--margin-probe", action="store_true",
                        help="instead of the table: measure how late the BMC may answer before the tool's "
                             "IBF wait in the guest gives up (Get Device ID with growing injected delays)")
    args = parser.parse_args()
    for name in ("efi", "bmc", "hook", "host_tool", "cases", "ovmf_code", "ovmf_vars"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))

    if bool(args.bmc) == bool(args.hook):
        print("harness: give either --bmc (tolvane-bmc) or --hook (another BMC)", file=sys.stderr)
        return 2
    for path, what in ((args.efi, "tolvane.efi (build target tolvane_efi)"),
                       (args.bmc or args.hook, "tolvane-bmc" if args.bmc else "the hook module"),
                       (args.ovmf_code, "OVMF firmware (Debian package ovmf)"),
                       (args.ovmf_vars, "OVMF variable store (Debian package ovmf)")):
        if not os.path.exists(path):
            print("harness: %s not found at %s" % (what, path), file=sys.stderr)
            return 2
    if shutil.which(args.qemu) is None:
        print("harness: %s not found (Debian package qemu-system-x86)" % args.qemu, file=sys.stderr)
        return 2

    with open(args.cases) as f:
        case_file = json.load(f)
    cases = case_file["cases"]
    if args.margin_probe:
        case_file = {}
        cases = margin_probe_cases()
        args.bmc_arg += ["--answer-delay-us", ",".join(str(d) for d in PROBE_DELAYS_US)]

    work = os.path.abspath(args.work_dir)
    LAST_RUN.clear()
    LAST_RUN.update({"work": work, "retries": 0 if args.margin_probe else args.retries, "kcs_timeout": False})
    shutil.rmtree(work, ignore_errors=True)
    esp = os.path.join(work, "esp")
    os.makedirs(esp)
    shutil.copy(args.efi, os.path.join(esp, "tolvane.efi"))
    for path in args.esp_file:
        shutil.copy(path, os.path.join(esp, os.path.basename(path)))
    args.data_file = [os.path.abspath(path) for path in args.data_file]
    try:
        place_data_files(args.data_file, cases, esp)
    except (HarnessError, OSError) as error:
        print("harness: %s" % error, file=sys.stderr)
        return 2
    with open(os.path.join(esp, "startup.nsh"), "w", newline="") as f:
        f.write(startup_script(cases))
    vars_copy = os.path.join(work, "vars.fd")
    shutil.copy(args.ovmf_vars, vars_copy)

    hook = None
    if args.hook:
        # Another BMC: no scenario, no host expectations, no request log.
        for index, case in enumerate(cases, 1):
            for key in ("expect_from_host", "bmc_requests"):
                if key in case:
                    print("harness: case %d (%s) uses '%s', which needs tolvane-bmc" % (index, case["name"], key),
                          file=sys.stderr)
                    return 2
        try:
            hook = load_hook(args.hook, args.hook_arg, work)
        except Exception as error:
            print("harness: cannot load the hook %s: %s" % (args.hook, error), file=sys.stderr)
            return 2
    else:
        for index, case in enumerate(cases, 1):
            if case.get("after"):
                print("harness: case %d (%s) has checks after it but no --hook runs them" % (index, case["name"]),
                      file=sys.stderr)
                return 2

    # One scenario file for both sides: the BMC in the boot and the host tool.
    # The case file may set the BMC's scenario, or name another case file beside
    # it whose scenario it shares; otherwise the built-in BMC.
    scenario = os.path.join(work, "scenario.json")
    if not hook and "scenario" in case_file:
        bmc_scenario = case_file["scenario"]
        if isinstance(bmc_scenario, str):
            with open(os.path.join(os.path.dirname(args.cases), bmc_scenario)) as f:
                bmc_scenario = json.load(f)["scenario"]
        with open(scenario, "w") as f:
            json.dump(bmc_scenario, f, indent=2)
    elif not hook:
        subprocess.run([args.bmc, "--dump-scenario", scenario], check=True, timeout=30)
    try:
        expectations = {} if hook else host_expectations(args, cases, scenario, work)
    except HarnessError as error:
        print("harness: " + str(error), file=sys.stderr)
        return 1

    try:
        fs0 = esp_drive(esp, work, case_file.get("esp_image", False))
        fat_disks = build_fat_disks(case_file.get("fat_disks", []), work)
    except (OSError, subprocess.CalledProcessError) as error:
        print("harness: cannot build the FAT volumes (dosfstools and mtools): %s" % error, file=sys.stderr)
        return 2

    server = qemu = None
    reader = None
    failures = []
    port_file = os.path.join(work, "bmc-port.txt")
    stats_file = os.path.join(work, "bmc-stats.json")
    server_log = open(os.path.join(work, "bmc.log"), "wb")
    qemu_rc = None
    served_pauses = set()
    hook_problems = {}
    priority_notes = []
    try:
        if hook:
            try:
                bmc_devices = hook.start()
            except Exception as error:
                raise HarnessError("%s did not start: %s" % (hook.name, error))
            if getattr(hook, "process", None) is not None:
                prefer_thread(hook.process.pid, "the BMC", priority_notes)
        else:
            server = subprocess.Popen([args.bmc, "--port", "0", "--port-file", port_file, "--stats", stats_file,
                                       "--scenario", scenario] + args.bmc_arg,
                                      stdout=server_log, stderr=subprocess.STDOUT)
            port = wait_for_port(port_file, server, 10)
            prefer_thread(server.pid, "tolvane-bmc", priority_notes)
            bmc_devices = ["-chardev", "socket,id=ipmi0,host=127.0.0.1,port=%d,reconnect=10" % port,
                           "-device", "ipmi-bmc-extern,chardev=ipmi0,id=bmc0",
                           "-device", "isa-ipmi-kcs,bmc=bmc0,ioport=0xca2"]

        # The case file may set machine properties (e.g. the SMBIOS entry point
        # type) and add QEMU options (e.g. -smbios strings) for the whole boot.
        command = [args.qemu, "-machine", case_file.get("machine", "q35"), "-m", "256", "-nographic", "-serial", "stdio", "-monitor", "none",
                   "-no-reboot", "-net", "none",
                   "-drive", "if=pflash,format=raw,readonly=on,file=" + args.ovmf_code,
                   "-drive", "if=pflash,format=raw,file=" + vars_copy,
                   "-drive", fs0] + fat_disks + bmc_devices + case_file.get("qemu_args", [])
        # QEMU's memory locked (root only): code left untouched through a long
        # wait in the guest, paged back in, would answer later than the tool waits.
        command += qemu_memory_options(priority_notes)
        with open(os.path.join(work, "qemu-command.txt"), "w") as f:
            f.write(" ".join(command) + "\n")
        started = time.monotonic()
        qemu = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        reader = ConsoleReader(qemu.stdout, os.path.join(work, "console.raw"), MARKER_RE)
        reader.start()

        deadline = started + args.timeout
        # Any key but ESC during the countdown starts startup.nsh at once.
        while time.monotonic() < deadline and qemu.poll() is None and COUNTDOWN_TEXT not in reader.text():
            reader.changed.wait(0.05)
            reader.changed.clear()
        if COUNTDOWN_TEXT in reader.text() and qemu.poll() is None:
            # QEMU's threads exist by now; only the main loop thread is raised.
            prefer_thread(qemu.pid, "QEMU's main loop", priority_notes)
            # QEMU and the BMC process (none when QEMU's own BMC answers) on one CPU.
            bmc_process = server if server is not None else getattr(hook, "process", None)
            share_one_cpu([qemu.pid] + ([bmc_process.pid] if bmc_process is not None else []),
                          "QEMU and the BMC", priority_notes)
            qemu.stdin.write(b" ")
            qemu.stdin.flush()
        while time.monotonic() < deadline and qemu.poll() is None:
            if server is not None and server.poll() is not None:
                raise HarnessError("tolvane-bmc exited with %d during the boot" % server.returncode)
            if hook:
                gone = hook.alive()
                if gone:
                    raise HarnessError(gone)
                serve_pauses(reader, qemu, hook, cases, served_pauses, hook_problems)
            time.sleep(0.05)
        if qemu.poll() is None:
            end_process(qemu, "QEMU")
            raise HarnessError("the boot did not finish within %.0f s (console log: %s)"
                               % (args.timeout, os.path.join(work, "console.raw")))
        qemu_rc = qemu.returncode
        reader.join(timeout=5)
        finished = time.monotonic()
    except HarnessError as error:
        failures.append(str(error))
        finished = time.monotonic()
    finally:
        end_process(qemu, "QEMU")
        server_alive = server is not None and server.poll() is None
        end_process(server, "tolvane-bmc")
        server_log.close()
        if hook:
            try:
                stop_problem = hook.stop()
            except Exception as error:
                stop_problem = "stopping the BMC failed: %s" % error
            if stop_problem:
                failures.append(stop_problem)

    text = reader.text() if reader else ""
    LAST_RUN["kcs_timeout"] = any(line in text for line in KCS_TIMEOUT_LINES)
    with open(os.path.join(work, "console.txt"), "w") as f:
        f.write(text)
    if qemu_rc not in (None, 0):
        failures.append("QEMU exited with %d (see %s)" % (qemu_rc, os.path.join(work, "console.txt")))
    if server is not None and not server_alive and not failures:
        failures.append("tolvane-bmc was not running at the end of the boot")
    if server is not None and server.returncode not in (0, -signal.SIGTERM):
        failures.append("tolvane-bmc ended with status %s" % server.returncode)
    if "!!!! X64 Exception" in text:
        failures.append("the firmware reported a CPU exception (see %s)" % os.path.join(work, "console.txt"))

    stats = None
    try:
        if not hook:
            with open(stats_file) as f:
                stats = json.load(f)
    except (OSError, ValueError) as error:
        failures.append("no BMC statistics: %s" % error)

    marker_times = reader.marker_times if reader else {}
    begin_times = {int(k[len(MARK_BEGIN):]): v for k, v in marker_times.items() if k.startswith(MARK_BEGIN)}
    end_times = {int(k[len(MARK_END):]): v for k, v in marker_times.items() if k.startswith(MARK_END)}
    per_case_requests, unattributed = attribute_requests(stats["log"] if stats else [], begin_times, len(cases))
    if stats:
        if stats["unanswered"]:
            failures.append("the BMC left %d request(s) unanswered" % stats["unanswered"])
        if stats["bad_checksum"] or stats["too_short"] or stats["dropped_frames"]:
            failures.append("malformed frames from QEMU: %d bad checksum, %d too short, %d dropped"
                            % (stats["bad_checksum"], stats["too_short"], stats["dropped_frames"]))
        if stats["peer_version"] != 1:
            failures.append("QEMU announced external-BMC protocol version %s, expected 1" % stats["peer_version"])
        if unattributed:
            failures.append("requests before the first case: %s" % unattributed)

    results = parse_results(text, len(cases))
    raw = bytes(reader.raw) if reader else b""
    for result, cleared in zip(results, screen_clears(raw, len(cases))):
        result["cleared"] = cleared
    print("UEFI shell tier: %d cases in one boot%s" % (len(cases), (" against " + hook.name) if hook else ""))
    passed = 0
    for index, (case, result) in enumerate(zip(cases, results), 1):
        expected_text = expectations.get(index, case.get("expect"))
        problems = check_case(case, result, expected_text, per_case_requests[index - 1])
        if case.get("after") and result["output"] is not None and index not in served_pauses:
            problems.append("the guest never paused after the case, so the BMC was not checked")
        problems += hook_problems.get(index, [])
        took = ""
        if index in begin_times and index in end_times:
            took = " (%.2f s)" % (end_times[index] - begin_times[index])
        if problems:
            print("  FAIL %d. %s: %s%s" % (index, case["name"], case_command(case), took))
            for problem in problems:
                print("       " + problem.replace("\n", "\n       "))
            failures.append("case %d failed" % index)
        else:
            passed += 1
            print("  ok   %d. %s: %s -> %s%s" % (index, case["name"], case_command(case),
                                                result["status"], took))

    for note in priority_notes:
        print("note: " + note)
    print("Measurements:")
    if 1 in begin_times:
        print("  boot to first command:   %.2f s (QEMU start to the first case marker)" % (begin_times[1] - started))
    durations = [end_times[i] - begin_times[i] for i in begin_times if i in end_times]
    if durations:
        print("  time per command:        mean %.3f s, max %.3f s over %d commands (marker to marker, "
              "application load from the FAT disk included)" % (sum(durations) / len(durations), max(durations),
                                                              len(durations)))
    if MARK_DONE in marker_times and 1 in begin_times:
        print("  all cases:               %.2f s; whole run %.2f s" % (marker_times[MARK_DONE] - begin_times[1],
                                                                       finished - started))
    if stats:
        print("  BMC requests answered:   %d of %d" % (stats["requests"] - stats["unanswered"], stats["requests"]))
        print("  BMC answer time:         max %.1f us, median %.1f us (request read -> response sent)"
              % (stats["max_answer_us"], stats["p50_answer_us"]))
        if stats["kernel_timestamps"]:
            print("  BMC wake-up included:    max %.1f us (kernel receive time stamp -> response sent)"
                  % stats["max_kernel_rx_to_sent_us"])
        for entry in stats["log"]:
            print("    request %-12s seq %3d  answer %7.1f us  kernel-to-sent %7.1f us" % (
                entry["request"], entry["seq"], entry["answer_us"], entry["kernel_rx_to_sent_us"]))
    print("  artefacts in %s" % work)

    if args.margin_probe:
        report_margin(results)
        failures = [f for f in failures if not f.startswith("case ")]

    if failures:
        print("FAILED: " + "; ".join(failures))
        return 1
    if args.margin_probe:
        print("PROBE FINISHED")
    else:
        print("PASSED: %d of %d cases" % (passed, len(cases)))
    return 0


def run_with_retries():
    """main(), booted again while it failed only after a KCS transfer timed
    out in the guest and --retries allows (a failure of the tool's output
    with no time-out is never retried, and a tool that always times out
    fails every attempt)."""
    attempt = 1
    while True:
        status = main()
        if status == 0 or not LAST_RUN.get("kcs_timeout") or attempt > LAST_RUN.get("retries", 0):
            return status
        kept = "%s.attempt%d" % (LAST_RUN["work"], attempt)
        shutil.rmtree(kept, ignore_errors=True)
        os.rename(LAST_RUN["work"], kept)
        attempt += 1
        print("RETRY: a KCS transfer timed out in the guest (the BMC's answer reached the interface later than "
              "the tool waits); booting again, attempt %d; the failed attempt is kept in %s" % (attempt, kept))
        sys.stdout.flush()


if __name__ == "__main__":
    sys.exit(run_with_retries())
