"""BMCs nobody in this project wrote, for the UEFI shell harness
(tests/uefi/run_uefi_tests.py --hook this-file --hook-arg bmc=...):

- bmc=ipmi_sim: OpenIPMI's ipmi_sim (contents: emu=FILE in config=DIR,
  default bmc.emu) with a fresh state directory, its
  QEMU-facing serial port (codec VM) and its LAN port on free 127.0.0.1 ports.
  Between cases the harness calls after_case(), which reads the BMC back over
  LAN with ipmitool and compares with the case's "after" checks.
- bmc=builtin: QEMU's own ipmi-bmc-sim device; nothing to start, nothing to
  read back from outside.

Checks of an "after" list (all keys but "ipmitool" optional):
  {"ipmitool": "lan print 1",            arguments after the LAN options
   "user": "ipmiusr", "password": "test", "privilege": "ADMINISTRATOR",
   "status": 0,                           ipmitool's exit status
   "fields": {"IP Address": "10.1.2.3"},  'Name : value' lines of the output
   "user_row": {"id": 3, "name": "..", "link_auth": "true", "ipmi_msg": "true", "priv": "OPERATOR"},
   "contains": ["regex", ...],            each must match a line (multi-line mode)
   "absent": ["regex", ...],              none may match
   "same_values": [{"tool": "RE", "ipmitool": "RE"}],  the named groups of every match of
                                          each expression (multi-line), in order: the same
                                          values, and at least one match
   "same_bytes_as_output": true,          ipmitool's raw bytes equal the tool's output bytes
   "same_bytes_as_output_line": 2,        ... equal the bytes of that output line (from 1) after
   "skip_bytes": 2}                           its first ')', ipmitool's first skip_bytes left out
   "same_fru_as_output": "listing"|CODE,  ipmitool's 'fru print' shows what the tool listed
                                          (every field of the listing, or the one field CODE)
   "same_bytes_as_fat_file": "1:NAME"}    the file ipmitool wrote ({file} in its arguments)
                                          holds the bytes of NAME on the case file's first
                                          FAT volume (fat_disks; read with mtools while the
                                          guest waits)
Options: bmc=, config= (lan.conf.in and bmc.emu), emu= (another emu file); for bmc=builtin,
sdrfile= (the records of its SDR repository, one after the other, as QEMU reads them).
"""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import time

# The UEFI tier's harness owns process handling; the hook uses the same.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "uefi"))
from run_uefi_tests import end_process  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ADMIN_USER = "ipmiusr"
ADMIN_PASSWORD = "test"
KCS_DEVICE = ["-device", "isa-ipmi-kcs,bmc=bmc0,ioport=0xca2"]


def free_port(kind):
    """A port on 127.0.0.1 that nothing uses right now (TCP or UDP)."""
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def tcp_listening(port):
    """True when something listens on 127.0.0.1:port (read from /proc, without
    connecting: a connection to the VM port would count as a guest)."""
    wanted = "0100007F:%04X" % port
    try:
        with open("/proc/net/tcp") as f:
            return any(line.split()[1] == wanted and line.split()[3] == "0A" for line in f.readlines()[1:])
    except OSError:
        return False


def parse_fields(text):
    """'Name   : value' lines as a dictionary (first occurrence wins)."""
    fields = {}
    for line in text.splitlines():
        name, sep, value = line.partition(":")
        if sep and name.strip() and name.strip() not in fields:
            fields[name.strip()] = value.strip()
    return fields


USER_ROW_RE = re.compile(r"^(\d+)\s+(\S*)\s+(true|false)\s+(true|false)\s+(true|false)\s+(.+?)\s*$")


def parse_user_rows(text):
    """Rows of 'ipmitool user list': id -> {name, callin, link_auth, ipmi_msg, priv}."""
    rows = {}
    for line in text.splitlines():
        match = USER_ROW_RE.match(line)
        if match:
            rows[int(match.group(1))] = {"name": match.group(2), "callin": match.group(3),
                                         "link_auth": match.group(4), "ipmi_msg": match.group(5),
                                         "priv": match.group(6)}
    return rows


def hex_bytes(text):
    return [int(token, 16) for token in re.findall(r"\b[0-9A-Fa-f]{2}\b", text or "")]


def compare_check(check, rc, text, tool_output, file_bytes=None, work=None):
    """Problems of one check, given ipmitool's status and output (and the file
    it wrote, for checks with {file})."""
    problems = []
    shown = "ipmitool %s" % check["ipmitool"]
    if rc != check.get("status", 0):
        problems.append("%s exited %d, expected %d; it printed:\n%s" % (shown, rc, check.get("status", 0),
                                                                     text.strip()[-600:]))
        return problems
    fields = parse_fields(text)
    for name, value in check.get("fields", {}).items():
        if fields.get(name) != value:
            problems.append("%s shows %s = %r, expected %r" % (shown, name, fields.get(name), value))
    if "user_row" in check:
        wanted = dict(check["user_row"])
        user_id = wanted.pop("id")
        row = parse_user_rows(text).get(user_id)
        if row is None:
            problems.append("%s has no row for user ID %d" % (shown, user_id))
        else:
            for key, value in wanted.items():
                if row.get(key) != value:
                    problems.append("%s: user ID %d %s = %r, expected %r" % (shown, user_id, key, row.get(key),
                                                                           value))
    for pattern in check.get("contains", []):
        if not re.search(pattern, text, re.MULTILINE):
            problems.append("%s: no line matches %r in:\n%s" % (shown, pattern, text.strip()[-600:]))
    for pattern in check.get("absent", []):
        if re.search(pattern, text, re.MULTILINE):
            problems.append("%s: a line matches %r, which must not appear" % (shown, pattern))
    for pair in check.get("same_values", []):
        tool = [match.groupdict() for match in re.finditer(pair["tool"], tool_output or "", re.MULTILINE)]
        peer = [match.groupdict() for match in re.finditer(pair["ipmitool"], text, re.MULTILINE)]
        if not tool or tool != peer:
            problems.append("%s shows %s (by %r), the tool %s (by %r)" % (shown, peer, pair["ipmitool"], tool,
                                                                       pair["tool"]))
    if "same_bytes_as_output_line" in check:
        number = check["same_bytes_as_output_line"]
        lines = (tool_output or "").splitlines()
        tool = hex_bytes(lines[number - 1].split(")", 1)[-1]) if 0 < number <= len(lines) else []
        peer = hex_bytes(text)[check.get("skip_bytes", 0):]
        if not peer or peer != tool:
            problems.append("%s gives bytes %s, the tool printed %s on line %d" % (
                shown, " ".join("%02X" % b for b in peer), " ".join("%02X" % b for b in tool), number))
    if check.get("same_fru_as_output"):
        problems += compare_fru_fields(tool_output, check["same_fru_as_output"], text, shown)
    if check.get("same_bytes_as_fat_file"):
        stored = fat_file_bytes(work, check["same_bytes_as_fat_file"])
        if stored is None or stored != file_bytes:
            problems.append("%s wrote %d bytes; %s holds %s" % (
                shown, len(file_bytes or b""), check["same_bytes_as_fat_file"],
                "nothing readable" if stored is None else "%d bytes, first difference at %d" % (
                    len(stored), next((i for i, (a, b) in enumerate(zip(stored, file_bytes or b"")) if a != b),
                                      min(len(stored), len(file_bytes or b""))))))
    if check.get("same_bytes_as_output"):
        peer, tool = hex_bytes(text), hex_bytes(tool_output)
        if not peer or peer != tool:
            problems.append("%s gives bytes %s, the tool printed %s" % (
                shown, " ".join("%02X" % b for b in peer), " ".join("%02X" % b for b in tool)))
    return problems


# The tool's field codes and the names 'ipmitool fru print' gives the fields.
FRU_PRINT_NAMES = {
    "CT": "Chassis Type", "CP": "Chassis Part Number", "CS": "Chassis Serial",
    "BDT": "Board Mfg Date", "BM": "Board Mfg", "BPN": "Board Product", "BS": "Board Serial",
    "BP": "Board Part Number", "PM": "Product Manufacturer", "PN": "Product Name",
    "PPM": "Product Part Number", "PV": "Product Version", "PS": "Product Serial",
    "PAT": "Product Asset Tag",
}
LISTING_RE = re.compile(r"^.*\((CT|CP|CS|BDT|BM|BPN|BS|BP|BV|PM|PN|PPM|PV|PS|PAT)\)\s*= (.*)$")
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


def tool_fru_values(tool_output, field):
    """Code -> value as the tool showed it: every line of a listing, or the one
    line of a field display. Chassis type as its name, the date without its bytes."""
    if field != "listing":
        return {field: tool_output.rstrip("\n")}
    values = {}
    for line in tool_output.splitlines():
        match = LISTING_RE.match(line)
        if match:
            values[match.group(1)] = match.group(2)
    if "CT" in values:
        values["CT"] = values["CT"].rsplit("(", 1)[0]
    return values


def fru_print_date(text):
    """'Fri Mar 15 12:00:00 2024 UTC' as the tool writes dates: 2024/03/15 12:00:00."""
    parts = text.split()
    if len(parts) < 5 or parts[1] not in MONTHS:
        return text
    return "%s/%02d/%02d %s" % (parts[4], MONTHS.index(parts[1]) + 1, int(parts[2]), parts[3])


def compare_fru_fields(tool_output, field, ipmitool_text, shown):
    problems = []
    printed = parse_fields(ipmitool_text)
    values = tool_fru_values(tool_output or "", field)
    if not values:
        return ["the tool showed no FRU fields to compare"]
    for code, value in values.items():
        if code not in FRU_PRINT_NAMES:
            continue
        theirs = printed.get(FRU_PRINT_NAMES[code], "")
        if code == "BDT":
            value = value.split(" (")[0]
            theirs = fru_print_date(theirs)
        if value != theirs:
            problems.append("%s shows %s = %r, the tool %s = %r" % (shown, FRU_PRINT_NAMES[code], theirs, code, value))
    return problems


def fat_file_bytes(work, reference):
    """The bytes of a file on one of the harness's FAT volumes ("1:NAME" is
    NAME on fat1.img), read with mtools; None when it cannot be read."""
    volume, _, name = reference.partition(":")
    image = os.path.join(work, "fat%s.img" % volume)
    try:
        run = subprocess.run(["mtype", "-i", image, "::/" + name], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=30)
    except (OSError, subprocess.TimeoutExpired):
        return None
    return run.stdout if run.returncode == 0 else None


def end_with_parent():
    """In the child before exec: SIGTERM when the harness dies, so that a
    harness killed by a time-out leaves no BMC behind (Linux prctl)."""
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass



class IpmiSimBmc:
    """OpenIPMI's ipmi_sim as the BMC behind QEMU's ipmi-bmc-extern device."""

    name = "OpenIPMI ipmi_sim"

    def __init__(self, work_dir, options):
        self.work = work_dir
        self.config_dir = options.get("config", os.path.join(HERE, "ipmi_sim"))
        self.emu = os.path.join(self.config_dir, options.get("emu", "bmc.emu"))  # absolute, or in config_dir
        self.ipmi_sim = options.get("ipmi_sim", "ipmi_sim")
        self.ipmitool = options.get("ipmitool", "ipmitool")
        self.process = None
        self.log = None
        self.lan_port = None
        self.check_log = None
        self.log_path = None
        for program, package in ((self.ipmi_sim, "openipmi"), (self.ipmitool, "ipmitool")):
            if shutil.which(program) is None:
                raise RuntimeError("%s not found (Debian package %s)" % (program, package))

    def start(self):
        """Starts ipmi_sim and waits until it answers over LAN and listens for
        QEMU; returns QEMU's BMC device options."""
        last_error = "not started"
        for _attempt in range(3):  # a port taken between the probe and ipmi_sim's bind: try other ports
            self.lan_port = free_port(socket.SOCK_DGRAM)
            serial_port = free_port(socket.SOCK_STREAM)
            try:
                self._launch(serial_port)
                return ["-chardev", "socket,id=ipmi0,host=127.0.0.1,port=%d,reconnect=10" % serial_port,
                        "-device", "ipmi-bmc-extern,chardev=ipmi0,id=bmc0"] + KCS_DEVICE
            except RuntimeError as error:
                last_error = str(error)
                end_process(self.process, "ipmi_sim")
        raise RuntimeError("ipmi_sim did not start: %s (log: %s)" % (last_error, self.log_path))

    def _launch(self, serial_port):
        run_dir = os.path.join(self.work, "ipmi_sim")
        shutil.rmtree(run_dir, ignore_errors=True)
        state = os.path.join(run_dir, "state")
        os.makedirs(state)
        with open(os.path.join(self.config_dir, "lan.conf.in")) as f:
            config = f.read().replace("@LAN_PORT@", str(self.lan_port)).replace("@SERIAL_PORT@", str(serial_port))
        config_file = os.path.join(run_dir, "lan.conf")
        with open(config_file, "w") as f:
            f.write(config)
        self.log_path = os.path.join(run_dir, "ipmi_sim.log")
        self.check_log = os.path.join(self.work, "peer-checks.log")
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                [self.ipmi_sim, "-c", config_file, "-f", self.emu, "-s", state, "-n"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, cwd=run_dir,
                preexec_fn=end_with_parent)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("ipmi_sim exited with %d at start" % self.process.returncode)
            if tcp_listening(serial_port):
                rc, text = self.run_ipmitool(["raw", "0x06", "0x01"], retries=0)
                if rc == 0:
                    return
            time.sleep(0.1)
        raise RuntimeError("ipmi_sim did not answer over LAN on UDP port %d within 20 s" % self.lan_port)

    def run_ipmitool(self, arguments, user=ADMIN_USER, password=ADMIN_PASSWORD, privilege=None, retries=2):
        command = [self.ipmitool, "-I", "lan", "-H", "127.0.0.1", "-p", str(self.lan_port), "-U", user,
                   "-P", password, "-N", "1", "-R", str(retries + 1)]
        if privilege:
            command += ["-L", privilege]
        try:
            run = subprocess.run(command + arguments, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 stdin=subprocess.DEVNULL, timeout=60)
            rc, text = run.returncode, run.stdout.decode("utf-8", errors="replace")
        except subprocess.TimeoutExpired:
            rc, text = -1, "ipmitool did not finish within 60 s"
        if self.check_log:
            with open(self.check_log, "a") as f:
                f.write("$ %s\n%s[exit %d]\n" % (" ".join(command[1:] + arguments), text, rc))
        return rc, text

    def alive(self):
        if self.process is not None and self.process.poll() is not None:
            return "ipmi_sim exited with %d during the boot (log: %s)" % (self.process.returncode, self.log_path)
        return None

    def after_case(self, index, case, output, status):
        problems = []
        for number, check in enumerate(case.get("after", []), 1):
            # {file}: a file for ipmitool to write (fru read), compared afterwards.
            path = os.path.join(self.work, "peer-file-%d-%d.bin" % (index, number))
            arguments = [a.replace("{file}", path) for a in check["ipmitool"].split()]
            if os.path.exists(path):
                os.remove(path)
            rc, text = self.run_ipmitool(arguments, check.get("user", ADMIN_USER),
                                         check.get("password", ADMIN_PASSWORD), check.get("privilege"))
            file_bytes = None
            if "{file}" in check["ipmitool"] and os.path.exists(path):
                with open(path, "rb") as f:
                    file_bytes = f.read()
            problems += compare_check(check, rc, text, output, file_bytes, self.work)
        return problems

    def stop(self):
        gone = self.alive()
        end_process(self.process, "ipmi_sim")
        return gone


class BuiltinBmc:
    """QEMU's built-in ipmi-bmc-sim: no process and no LAN side to read back."""

    name = "QEMU ipmi-bmc-sim"

    def __init__(self, work_dir, options):
        self.sdrfile = options.get("sdrfile")

    def start(self):
        device = "ipmi-bmc-sim,id=bmc0" + (",sdrfile=" + self.sdrfile if self.sdrfile else "")
        return ["-device", device] + KCS_DEVICE

    def alive(self):
        return None

    def after_case(self, index, case, output, status):
        return ["QEMU's built-in BMC cannot be read back from outside; remove the case's 'after' list"]

    def stop(self):
        return None


def create_bmc(work_dir, options):
    kinds = {"ipmi_sim": IpmiSimBmc, "builtin": BuiltinBmc}
    kind = options.get("bmc", "ipmi_sim")
    if kind not in kinds:
        raise RuntimeError("unknown bmc=%s (one of %s)" % (kind, ", ".join(sorted(kinds))))
    return kinds[kind](work_dir, options)


if __name__ == "__main__":
    sys.exit("used by tests/uefi/run_uefi_tests.py --hook; see the docstring")
