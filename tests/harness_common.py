"""What the QEMU tiers' runners share (tests/uefi/run_uefi_tests.py,
tests/linux/run_linux_guest.py): ending the processes they started, and
telling where an output differs from the expected one."""

import os
import signal
import subprocess
import sys


def end_process(process, name, grace=5.0):
    """Ends a process this harness started (by its PID): SIGTERM, then SIGKILL."""
    if process is None or process.poll() is not None:
        return
    try:
        os.kill(process.pid, signal.SIGTERM)
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        print("harness: %s (pid %d) ignored SIGTERM; killing it" % (name, process.pid), file=sys.stderr)
        os.kill(process.pid, signal.SIGKILL)
        process.wait()
    except ProcessLookupError:
        pass


def describe_difference(expected, actual):
    """Where two outputs part: the first differing line, or the line counts."""
    expected_lines = expected.split("\n")
    actual_lines = actual.split("\n")
    for number, (e, a) in enumerate(zip(expected_lines, actual_lines), 1):
        if e != a:
            return "    first difference at line %d:\n    expected %r\n    got      %r" % (number, e, a)
    return "    expected %d lines, got %d; tail expected %r got %r" % (
        len(expected_lines), len(actual_lines), expected[-80:], actual[-80:])
