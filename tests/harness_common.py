"""What the QEMU tiers' runners share (tests/uefi/run_uefi_tests.py,
tests/linux/run_linux_guest.py): reading QEMU's serial console, ending the
processes they started, and telling where an output differs from the expected
one."""

import os
import re
import signal
import subprocess
import sys
import threading
import time

# CSI sequences (the firmware's terminal emits e.g. ESC [ = 3 h, colours, cursor
# moves), two-byte escapes and the terminal reset ESC c.
ANSI_RE = re.compile(r"\x1b\[[0-9;?=]*[ -/]*[@-~]|\x1b[()][A-Za-z0-9]|\x1b[@-Z\\-_]|\x1bc")


def clean_console(raw):
    """Serial console bytes to plain text: ANSI escapes, CRs and the NULs some
    terminals pad with removed."""
    text = raw.decode("utf-8", errors="replace")
    text = ANSI_RE.sub("", text)
    return text.replace("\r", "").replace("\x00", "")


class ConsoleReader(threading.Thread):
    """Collects QEMU's serial console into raw and a raw log file, and notes in
    marker_times, in time.monotonic(), when each marker (group 1 of marker_re on
    the cleaned text) first appears. changed is set after every chunk."""

    def __init__(self, stream, raw_log_path, marker_re):
        super().__init__(daemon=True)
        self.stream = stream
        self.marker_re = marker_re
        self.raw = bytearray()
        self.lock = threading.Lock()
        self.marker_times = {}
        self.changed = threading.Event()
        self.raw_log = open(raw_log_path, "wb")

    def run(self):
        while True:
            chunk = os.read(self.stream.fileno(), 65536)
            if not chunk:
                break
            now = time.monotonic()
            self.raw_log.write(chunk)
            self.raw_log.flush()
            with self.lock:
                self.raw.extend(chunk)
                for match in self.marker_re.finditer(clean_console(bytes(self.raw))):
                    self.marker_times.setdefault(match.group(1), now)
            self.changed.set()
        self.raw_log.close()

    def text(self):
        with self.lock:
            return clean_console(bytes(self.raw))

    def time_of(self, marker):
        with self.lock:
            return self.marker_times.get(marker)


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
