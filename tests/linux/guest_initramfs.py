#!/usr/bin/env python3
"""The initramfs of the Linux guest tier: busybox, the kernel's IPMI modules,
ipmitool with the libraries it loads, the tool (/bin/tolvane, a static build),
the event text data files in /work, and an /init that loads the modules, waits
for /dev/ipmi0, runs the command lines of a case file one by one and reports
each one's stdout, stderr and exit status on the second serial port
(/dev/ttyS1), then powers the machine off.

Markers on the second serial port (one per line; stdout and stderr in base64):
  TVGUEST-BOOTED UPTIME
  TVGUEST-DEVICE UPTIME ATTEMPT PATH | TVGUEST-NODEVICE UPTIME
  TVGUEST-BEGIN-N UPTIME
  TVGUEST-STDOUT-N / base64 lines / TVGUEST-STDERR-N / base64 lines
  TVGUEST-END-N STATUS UPTIME
  TVGUEST-DMESG / base64 of the kernel's IPMI lines
  TVGUEST-DONE UPTIME
UPTIME is the guest's /proc/uptime in seconds. BOOTED, DEVICE, BEGIN, END,
PAUSE and DONE also go to the console (the first serial port), where the
runner reads them as they come. A case with a pause waits after its END for a
line on the console.

Written with the Python standard library only; the archive is built here (newc
format), not with cpio(1).
"""

import os
import shutil
import stat
import subprocess
import tempfile

MODULES = ("ipmi_msghandler", "ipmi_devintf", "ipmi_si")
# What QEMU's isa-ipmi-kcs device is given in the guest tier (ipmi_si finds it
# through ACPI by itself; the parameters are for a second attempt).
KCS_PARAMETERS = "type=kcs ports=0xca2"
MARK = "TVGUEST-"


class Archive:
    """A newc cpio archive in memory: directories, files, links, device nodes."""

    def __init__(self):
        self.entries = []
        self.names = set()

    def _add(self, name, mode, data=b"", rdev=(0, 0)):
        name = name.strip("/")
        if name in self.names:
            raise ValueError("%s is in the initramfs twice" % name)
        parent = os.path.dirname(name)
        if parent and parent not in self.names:
            self.directory(parent)
        self.names.add(name)
        self.entries.append((name, mode, data, rdev))

    def directory(self, name, mode=0o755):
        self._add(name, stat.S_IFDIR | mode)

    def file(self, name, data, mode=0o644):
        self._add(name, stat.S_IFREG | mode, data)

    def copy(self, name, host_path, mode=None):
        with open(host_path, "rb") as f:
            data = f.read()
        self.file(name, data, mode if mode is not None else stat.S_IMODE(os.stat(host_path).st_mode))

    def symlink(self, name, target):
        self._add(name, stat.S_IFLNK | 0o777, target.encode())

    def char_device(self, name, major, minor, mode=0o600):
        self._add(name, stat.S_IFCHR | mode, b"", (major, minor))

    def has(self, name):
        return name.strip("/") in self.names

    def bytes(self):
        out = bytearray()

        def entry(number, name, mode, data, rdev):
            encoded = name.encode() + b"\0"
            fields = (number, mode, 0, 0, 2 if stat.S_ISDIR(mode) else 1, 0, len(data), 0, 0,
                      rdev[0], rdev[1], len(encoded), 0)
            out.extend(b"070701" + "".join("%08X" % v for v in fields).encode() + encoded)
            out.extend(b"\0" * (-len(out) % 4))
            out.extend(data)
            out.extend(b"\0" * (-len(out) % 4))

        for number, (name, mode, data, rdev) in enumerate(self.entries, 1):
            entry(number, name, mode, data, rdev)
        entry(0, "TRAILER!!!", 0, b"", (0, 0))
        return bytes(out)


def shared_libraries(program):
    """The files ldd says program loads (libraries and the dynamic loader), by
    the paths it names them."""
    run = subprocess.run(["ldd", program], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    text = run.stdout.decode()
    if run.returncode != 0:
        raise RuntimeError("ldd %s: %s" % (program, text.strip()))
    paths = []
    for line in text.splitlines():
        parts = line.split()
        if "=>" in parts:
            target = parts[parts.index("=>") + 1]
            if target == "not":
                raise RuntimeError("ldd %s: %s" % (program, line.strip()))
            if target.startswith("/"):
                paths.append(target)
        elif parts and parts[0].startswith("/"):
            paths.append(parts[0])  # the dynamic loader
    return paths


def shell_quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def init_script(cases, environment=None):
    """/init for these cases: each case a dict with "command" (a shell command
    line run in /work) and optionally "pause" (wait for a console line after it)."""
    lines = [
        "#!/bin/sh",
        "/bin/busybox --install -s /bin",
        "export PATH=/bin:/usr/bin HOME=/root",
        "mount -t devtmpfs devtmpfs /dev",
        "mount -t proc proc /proc",
        "mount -t sysfs sysfs /sys",
        "R=/dev/ttyS1",
        "stty -F $R raw -echo",
        "t() { cut -d' ' -f1 /proc/uptime; }",
        # Markers go to the results port and to the console, where the runner
        # sees them as they come.
        "say() { echo \"$*\" >$R; echo \"$*\" >/dev/console; }",
        "say %sBOOTED $(t)" % MARK,
        "insmod /lib/modules/ipmi_msghandler.ko",
        "insmod /lib/modules/ipmi_devintf.ko",
        # The device node appears when ipmi_si has registered the interface;
        # up to 10 s per attempt, in steps of 0.1 s.
        "node() { for n in ipmi0 ipmi/0 ipmidev/0; do [ -e /dev/$n ] && echo /dev/$n && return 0; done; return 1; }",
        "device() { i=0; while ! node >/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; node; }",
        # A BMC that answered D2h (not connected yet) while ipmi_si probed makes
        # it drop the interface: try again, then with the KCS address given.
        "found=''",
        "for attempt in 1 2 3; do",
        "  if [ $attempt -eq 3 ]; then insmod /lib/modules/ipmi_si.ko %s; else insmod /lib/modules/ipmi_si.ko; fi"
        % KCS_PARAMETERS,
        "  found=$(device) && break",
        "  rmmod ipmi_si",
        "done",
        "if [ -n \"$found\" ]; then say %sDEVICE $(t) $attempt $found; else say %sNODEVICE $(t); fi" % (MARK, MARK),
        "cd /work",
    ]
    for name, value in sorted((environment or {}).items()):
        lines.append("export %s=%s" % (name, shell_quote(value)))
    for index, case in enumerate(cases, 1):
        lines += [
            "say %sBEGIN-%d $(t)" % (MARK, index),
            "sh /cases/%d.sh </dev/null >/tmp/out 2>/tmp/err" % index,
            "s=$? e=$(t)",
            "{ echo %sSTDOUT-%d; base64 /tmp/out; echo %sSTDERR-%d; base64 /tmp/err; } >$R" % (MARK, index, MARK, index),
            "say %sEND-%d $s $e" % (MARK, index),
        ]
        if case.get("pause"):
            lines += ["say %sPAUSE-%d" % (MARK, index), "read -r line </dev/console"]
    lines += [
        "dmesg | grep -i ipmi >/tmp/dmesg",
        "{ echo %sDMESG; base64 /tmp/dmesg; } >$R" % MARK,
        "say %sDONE $(t)" % MARK,
        "sync",
        "poweroff -f",
    ]
    return "\n".join(lines) + "\n"


def build(output, guest_files, cases, tolvane=None, data_files=(), ipmitool="/usr/bin/ipmitool", environment=None,
          programs=()):
    """Writes the initramfs to output. guest_files: the directory
    scripts/linux-guest-deps.sh filled (busybox, the modules); programs: more
    static programs for /bin. Returns its size."""
    archive = Archive()
    for name in ("dev", "proc", "sys", "tmp", "root", "work", "cases"):
        archive.directory(name)
    archive.char_device("dev/console", 5, 1)
    archive.copy("bin/busybox", os.path.join(guest_files, "busybox"), 0o755)
    archive.symlink("bin/sh", "busybox")
    for module in MODULES:
        archive.copy("lib/modules/%s.ko" % module, os.path.join(guest_files, module + ".ko"), 0o644)
    if ipmitool:
        archive.copy("usr/bin/ipmitool", ipmitool, 0o755)
        for library in shared_libraries(ipmitool):
            if not archive.has(library):
                archive.copy(library, library, 0o755)
        # Manufacturer names of 'mc info' and 'fru print' (package ipmitool).
        numbers = "/usr/share/misc/enterprise-numbers.txt"
        if os.path.exists(numbers):
            archive.copy(numbers, numbers, 0o644)
    named = [("tolvane", tolvane)] if tolvane else []
    named += [(os.path.basename(path), path) for path in programs]
    with tempfile.TemporaryDirectory() as scratch:
        for name, path in named:
            stripped = os.path.join(scratch, name)
            # Without debug information: a smaller archive to load.
            if shutil.which("strip") and subprocess.run(["strip", "-o", stripped, path]).returncode == 0:
                archive.copy("bin/" + name, stripped, 0o755)
            else:
                archive.copy("bin/" + name, path, 0o755)
    for path in data_files:
        archive.copy("work/" + os.path.basename(path), path, 0o644)
    for index, case in enumerate(cases, 1):
        archive.file("cases/%d.sh" % index, (case["command"] + "\n").encode())
    archive.file("init", init_script(cases, environment).encode(), 0o755)
    data = archive.bytes()
    with open(output, "wb") as f:
        f.write(data)
    return len(data)
