#!/usr/bin/env python3
"""How QEMU and the BMC it talks to are run on this host so that QEMU's KCS
interface answers within the tool's wait.

The tool in the guest waits only 50 x 10 us for IBF to clear after each byte
it writes, and QEMU's KCS device keeps IBF set from the last request byte
until the BMC's answer is back. A host that delays that answer (QEMU's code
paged out after a long idle wait at the shell prompt, QEMU's main loop or the
BMC waiting for a CPU behind other work) makes the transfer time out, and the
interface stays in its error state for the rest of the boot. So:

- QEMU's memory is locked (-overcommit mem-lock=on; needs root);
- the BMC process and QEMU's main loop thread run at a real-time priority
  (SCHED_FIFO 10) that threads they create later do not inherit
  (SCHED_RESET_ON_FORK; needs root or CAP_SYS_NICE);
- QEMU and the BMC run on one CPU, so neither waits for a wake-up sent from
  another CPU (no privilege needed).

Where a measure cannot be had, the run goes on without it, with a note.

The UEFI shell tier (tests/uefi/run_uefi_tests.py) imports this module;
scripts/run-shell.sh runs it, so both boot QEMU the same way:

  kcs_stall_measures.py terminal --bmc-pid PID [--bmc-name NAME] -- QEMU [OPTION...]

raises the BMC, prints one line naming any measure it cannot have, runs QEMU
on this terminal with its memory locked, puts QEMU and the BMC on one CPU and
raises QEMU's main loop thread once QEMU has started its threads, and exits
with QEMU's status.

Only the Python standard library is used.
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

# SCHED_FIFO priority of the BMC and of QEMU's main loop: above every normal
# process, far below the kernel's own real-time threads.
PRIORITY = 10


def prefer_thread(tid, what, notes):
    """Gives one thread (a PID names its main thread) a real-time priority
    without passing it on to threads it creates later. The tool in the guest
    waits only a few hundred microseconds for the BMC to take each request
    (the KCS IBF wait), so the BMC and QEMU's main loop, which carries the
    answer back, must not wait for a CPU behind other builds. Without the
    privilege the run goes on at normal priority, with a note. True when
    the thread was raised."""
    try:
        os.sched_setscheduler(tid, os.SCHED_FIFO | os.SCHED_RESET_ON_FORK, os.sched_param(PRIORITY))
        return True
    except (PermissionError, OSError, AttributeError) as error:
        notes.append("%s keeps its normal priority (%s); the run may time out under load" % (what, error))
        return False


def qemu_memory_options(notes):
    """QEMU options that lock its memory: the kernel may page out memory left
    untouched for a few seconds (as this machine's proactive reclaim does), and
    the code that carries a KCS request to the BMC lies untouched through a
    long wait (a six-second wait in the UEFI shell tier, a pause at the shell
    prompt); paging it back in takes longer than the tool's IBF wait allows.
    Locking needs root; without it, none, with a note."""
    if os.geteuid() == 0:
        return ["-overcommit", "mem-lock=on"]
    notes.append("QEMU's memory is not locked (needs root); a request after a long wait may time out")
    return []


def quietest_cpu(sample_seconds=0.2):
    """Of the CPUs this process may use, the one idle longest over a short
    sample (/proc/stat), so another busy process is not chosen as company."""
    def idle_and_total():
        times = {}
        with open("/proc/stat") as f:
            for line in f:
                match = re.match(r"cpu(\d+) (.*)", line)
                if match:
                    fields = [int(value) for value in match.group(2).split()]
                    times[int(match.group(1))] = (fields[3] + fields[4], sum(fields))
        return times
    allowed = sorted(os.sched_getaffinity(0))
    before = idle_and_total()
    time.sleep(sample_seconds)
    after = idle_and_total()

    def idle_share(cpu):
        if cpu not in before or cpu not in after:
            return 0.0
        return (after[cpu][0] - before[cpu][0]) / max(1, after[cpu][1] - before[cpu][1])
    return max(allowed, key=idle_share)


def share_one_cpu(pids, what, notes):
    """Keeps every thread of the given processes (QEMU and the BMC) on one
    CPU; threads they start later inherit it. The guest's last request byte
    is sent to the BMC by QEMU's vCPU thread, and the answer is taken in by
    QEMU's main loop: a thread woken on another CPU of this virtual machine
    now and then waits a millisecond or more for it (an interprocessor
    interrupt the hypervisor delivers late), on the same CPU a real-time
    thread preempts the waker at once. The CPU is the least busy one when
    this is called. Returns it, or None with a note."""
    cpu = quietest_cpu()
    try:
        for pid in pids:
            for tid in os.listdir("/proc/%d/task" % pid):
                try:
                    os.sched_setaffinity(int(tid), {cpu})
                except ProcessLookupError:
                    pass  # a thread that just ended
    except OSError as error:
        notes.append("%s may run on different CPUs (%s); the run may time out" % (what, error))
        return None
    return cpu


def wait_for_threads(pid, timeout):
    """Waits until process pid runs more than its main thread (QEMU starts its
    vCPU thread and the others within a fraction of a second); False if it
    ended or the time ran out first."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            if len(os.listdir("/proc/%d/task" % pid)) > 1:
                return True
        except FileNotFoundError:
            return False
        time.sleep(0.02)
    return False


def run_on_terminal(qemu_command, bmc_pid, bmc_name):
    """QEMU in the foreground on this terminal with every measure that can be
    had; returns QEMU's exit status (128 + N when signal N ended it)."""
    notes = []
    bmc_raised = prefer_thread(bmc_pid, bmc_name, notes)
    if not bmc_raised:
        # Raising QEMU needs the same privilege: not tried.
        notes.append("QEMU's main loop keeps its normal priority too")
    command = list(qemu_command) + qemu_memory_options(notes)
    if notes:
        # One line, before QEMU takes the terminal.
        print("note: " + ". ".join(notes) + ".", file=sys.stderr)
        sys.stderr.flush()
    qemu = subprocess.Popen(command)
    # QEMU's console is raw, so keys raise no SIGINT; a signal sent to the
    # whole foreground group reaches QEMU, and this process waits for its status.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGQUIT, signal.SIG_IGN)
    if wait_for_threads(qemu.pid, 10):
        late = []
        share_one_cpu([qemu.pid, bmc_pid], "QEMU and %s" % bmc_name, late)
        # Only the main loop thread: the threads QEMU has started keep their
        # priority, and those it starts later do not inherit it.
        if bmc_raised:
            prefer_thread(qemu.pid, "QEMU's main loop", late)
        if late:
            # QEMU owns the terminal by now: a line of its own, CR LF.
            sys.stderr.write("\r\nnote: %s\r\n" % ". ".join(late))
            sys.stderr.flush()
    status = qemu.wait()
    return 128 - status if status < 0 else status


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    terminal = commands.add_parser("terminal", help="run QEMU on this terminal with the measures")
    terminal.add_argument("--bmc-pid", type=int, required=True, help="the BMC process QEMU talks to")
    terminal.add_argument("--bmc-name", default="the BMC", help="its name in the note")
    terminal.add_argument("qemu", nargs=argparse.REMAINDER, help="-- QEMU and its options")
    args = parser.parse_args(argv)
    qemu_command = args.qemu[1:] if args.qemu[:1] == ["--"] else args.qemu
    if not qemu_command:
        parser.error("no QEMU command after --")
    return run_on_terminal(qemu_command, args.bmc_pid, args.bmc_name)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
