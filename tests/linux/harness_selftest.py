#!/usr/bin/env python3
"""Checks of the Linux guest tier's own pieces, without QEMU: the results port's
parsing, the split of the BMC's request log between cases, the comparison, and
the layout of the initramfs archive. A runner that lost a byte of output, a
status or a request would pass a broken tool."""

import base64
import os
import sys
import unittest

sys.dont_write_bytecode = True  # keep the source tree clean when ctest runs this
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import guest_initramfs  # noqa: E402
import run_linux_guest as runner  # noqa: E402


def block(index, stdout, stderr, status):
    encode = lambda data: base64.encodebytes(data).decode()  # noqa: E731 (76-column lines, as busybox writes)
    return ("TVGUEST-BEGIN-%d 2.50\nTVGUEST-STDOUT-%d\n%sTVGUEST-STDERR-%d\n%sTVGUEST-END-%d %d 2.75\n"
            % (index, index, encode(stdout), index, encode(stderr), index, status))


class Results(unittest.TestCase):
    def test_output_kept_byte_for_byte(self):
        long_line = b"x" * 200 + b"\r\n"  # spans several base64 lines; its CR is the tool's
        text = ("TVGUEST-BOOTED 1.90\nTVGUEST-DEVICE 2.01 3 /dev/ipmi/0\n"
                + block(1, b"no line end", b"", 0) + block(2, long_line, b"warn\n", 31)
                + "TVGUEST-BEGIN-3 3.00\nTVGUEST-STDOUT-3\n"  # the guest stopped here
                + "TVGUEST-DMESG\n" + base64.b64encode(b"ipmi_si: found\n").decode() + "\nTVGUEST-DONE 4.00\n")
        cases, boot = runner.parse_results(text, 3)
        self.assertEqual(cases[0]["stdout"], b"no line end")
        self.assertEqual((cases[1]["stdout"], cases[1]["stderr"], cases[1]["status"]), (long_line, b"warn\n", 31))
        self.assertIsNone(cases[2])
        self.assertEqual((boot["device"], boot["device_attempt"], boot["device_path"]), (2.01, 3, "/dev/ipmi/0"))
        self.assertEqual(boot["dmesg"], "ipmi_si: found\n")

    def test_comparison(self):
        result = {"stdout": b"20 01\n", "stderr": b"", "status": 0}
        table = [
            # (case, result changes, requests, words the problem must contain; None: passes)
            ({"status": 0, "expect": "20 01\n"}, {}, None, None),
            ({"status": 1, "expect": "20 01\n"}, {}, None, "status 0, expected 1"),
            ({"status": 0, "expect": "20 01"}, {}, None, "stdout differs"),
            ({"status": 0}, {"stderr": b"Unable to open\n"}, None, "stderr differs"),
            ({"status": 0, "stderr_pattern": "^Unable"}, {"stderr": b"Unable to open\n"}, None, None),
            ({"status": 0, "bmc_requests": []}, {}, ["06 01"], "received ['06 01'], expected []"),
            ({"status": 0, "min_bmc_requests": 1}, {}, [], "received 0 requests"),
        ]
        for case, changes, requests, words in table:
            problems = runner.check_case(case, dict(result, **changes), case.get("expect"), requests)
            if words is None:
                self.assertEqual(problems, [], case)
            else:
                self.assertEqual(len(problems), 1, (case, problems))
                self.assertIn(words, problems[0])


class Comparisons(unittest.TestCase):
    def test_ipmitool_commands_follow_their_case(self):
        cases = [{"name": "a", "command": "tolvane -ver"},
                 {"name": "b", "command": "tolvane -sel info",
                  "compare": [{"ipmitool": "sel info"}, {"ipmitool": "sel elist"}]},
                 {"name": "c", "command": "tolvane"}]
        commands, places = runner.guest_commands(cases)
        self.assertEqual([c["command"] for c in commands],
                         ["tolvane -ver", "tolvane -sel info", "ipmitool sel info", "ipmitool sel elist", "tolvane"])
        self.assertEqual(places, [(1, []), (2, [3, 4]), (5, [])])
        result = {"stdout": b"00 01 \n", "stderr": b"", "status": 0}
        ipmitool = {"stdout": b" 00 02\n", "stderr": b"", "status": 0}
        check = {"compare": [{"ipmitool": "raw 6 1", "same_bytes_as_output": True}, {"ipmitool": "sel info"}]}
        problems = runner.compare_in_guest(check, result, [ipmitool, None])
        self.assertEqual(len(problems), 2, problems)
        self.assertIn("the tool printed 00 01", problems[0])
        self.assertIn("did not run", problems[1])


class Requests(unittest.TestCase):
    def test_split_by_the_case_markers(self):
        log = [{"t_mono_us": t * 1000000, "request": text} for t, text in
               ((1.0, "06 01"), (2.0, "06 01 begin"), (3.0, "0A 40 end"), (3.5, "06 30 between"), (4.0, "0A 42"))]
        per_case, before, between = runner.attribute_requests(log, {1: (2.0, 3.0), 2: (4.0, 5.0)})
        self.assertEqual(per_case, {1: ["06 01 begin", "0A 40 end"], 2: ["0A 42"]})
        self.assertEqual((before, between), (["06 01"], ["06 30 between"]))


class Archive(unittest.TestCase):
    def test_newc_layout(self):
        archive = guest_initramfs.Archive()
        archive.file("usr/bin/tool", b"12345")
        archive.symlink("bin/sh", "busybox")
        archive.char_device("dev/console", 5, 1)
        data = archive.bytes()
        entries, offset = [], 0
        while True:
            header = data[offset:offset + 110]
            self.assertEqual(header[:6], b"070701")
            fields = [int(header[6 + 8 * i:14 + 8 * i], 16) for i in range(13)]
            name_end = offset + 110 + fields[11]
            name = data[offset + 110:name_end - 1].decode()
            content_start = name_end + (-name_end % 4)
            content_end = content_start + fields[6]
            entries.append((name, fields[1] >> 12, data[content_start:content_end], (fields[9], fields[10])))
            offset = content_end + (-content_end % 4)
            if name == "TRAILER!!!":
                break
        self.assertEqual(offset, len(data))
        # Every directory before what it holds (the kernel creates no parents).
        self.assertEqual([(name, kind) for name, kind, _, _ in entries],
                         [("usr", 0o04), ("usr/bin", 0o04), ("usr/bin/tool", 0o10), ("bin", 0o04),
                          ("bin/sh", 0o12), ("dev", 0o04), ("dev/console", 0o02), ("TRAILER!!!", 0)])
        self.assertEqual(entries[2][2], b"12345")
        self.assertEqual(entries[4][2], b"busybox")
        self.assertEqual(entries[6][3], (5, 1))
        with self.assertRaises(ValueError):
            archive.file("bin/sh", b"")


if __name__ == "__main__":
    unittest.main()
