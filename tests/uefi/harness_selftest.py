#!/usr/bin/env python3
"""Checks of the UEFI tier's own console parsing and comparison, without QEMU:
a harness that cannot see a wrong status, a lost line or a request that never
reached the BMC would pass a broken tolvane.efi."""

import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # keep the source tree clean when ctest runs this
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_uefi_tests as harness  # noqa: E402
# tests/, where the QEMU tiers' shared code lies, is on the path run_uefi_tests set.
from harness_common import clean_console  # noqa: E402

# What OVMF's serial console sends for two cases: CR LF line ends, escape
# sequences for the terminal mode and colours.
CONSOLE = (b"\x1b[=3h\x1b[0m\x1b[2JShell> \r\n"
           b"TVCASE-BEGIN-1\r\n\r\nline one\r\n\x1b[1mline\x1b[0m two\r\nTVCASE-END-1 0x1F\r\n"
           b"TVCASE-BEGIN-2\r\nTVCASE-END-2 0xC\r\nTVFILE-BEGIN-2\r\nPlease.\r\n\r\nTVFILE-END-2\r\n")

USAGE_CASE = {"name": "usage", "args": "", "status": 31, "expect_lines": 3}
REDIRECT_CASE = {"name": "redirect", "args": "-vlan on 0", "status": 12, "redirect": True}


class CleanConsole(unittest.TestCase):
    def test_strips_escapes_and_carriage_returns(self):
        table = [
            (b"a\r\nb", "a\nb"),
            (b"\x1b[=3h\x1b[25;1Hx", "x"),
            (b"\x1b[1;33;40mcolour\x1b[0m", "colour"),
            (b"\x1b(Bplain", "plain"),
        ]
        for raw, expected in table:
            self.assertEqual(clean_console(raw), expected, raw)


class ParseAndCheck(unittest.TestCase):
    def setUp(self):
        self.results = harness.parse_results(clean_console(CONSOLE), 3)

    def test_output_status_and_file_per_case(self):
        self.assertEqual(self.results[0]["output"], "\nline one\nline two\n")
        self.assertEqual(self.results[0]["status"], "0x1F")
        self.assertEqual(self.results[1]["output"], "")
        self.assertEqual(self.results[1]["file"], "Please.\n\n")
        self.assertIsNone(self.results[2]["output"], "case 3 never ran")

    def test_checks_that_must_fail(self):
        text = "\nline one\nline two\n"
        table = [
            # (case changes, expected text, requests, words the problem must contain)
            ({}, text, [], None),
            ({"status": 0}, text, [], "status 0x1F, expected 0x0"),
            ({}, "\nline one\nline 2\n", [], "first difference at line 3"),
            ({}, text + "more\n", [], "first difference at line 4"),
            ({"expect_lines": 61}, text, [], "3 lines, expected 61"),
            ({"expect_pattern": "^([0-9A-F]{2} )+\\n$"}, text, [], "does not match"),
            ({"bmc_requests": ["06 01"]}, text, [], "BMC received [], expected ['06 01']"),
            ({"bmc_requests": []}, text, ["06 01"], "BMC received ['06 01']"),
        ]
        for changes, expected, requests, problem in table:
            case = dict(USAGE_CASE, **changes)
            problems = harness.check_case(case, self.results[0], expected, requests)
            if problem is None:
                self.assertEqual(problems, [], changes)
            else:
                self.assertTrue(any(problem in p for p in problems), (changes, problems))

    def test_redirected_output_compared_from_type(self):
        self.assertEqual(harness.check_case(REDIRECT_CASE, self.results[1], "Please.\n", []), [])
        self.assertTrue(harness.check_case(REDIRECT_CASE, self.results[1], "Other.\n", []))
        leaked = dict(self.results[1], output="Please.\n")
        self.assertTrue(any("despite" in p for p in harness.check_case(REDIRECT_CASE, leaked, "Please.\n", [])))

    def test_missing_case_fails(self):
        self.assertTrue(harness.check_case(USAGE_CASE, self.results[2], "x", []))


class FileAndScreen(unittest.TestCase):
    """Cases that show a file the command left, and whether the screen was cleared."""
    RAW = (b"TVCASE-BEGIN-1\r\nWrote.\r\nTVCASE-END-1 0x0\r\nTVFILE-BEGIN-1\r\n[ Type 1 ]:1;\r\nK=V;\r\n\r\n"
           b"TVFILE-END-1\r\nTVCASE-BEGIN-2\r\n\x1b[2J\x1b[01;01HWrote.\r\nTVCASE-END-2 0x0\r\n")
    CASE = {"name": "dump", "program": "tablornX64.efi", "args": "-d", "status": 0, "show_file": "SmbiosTemplate.cfg",
            "expect_file": "[ Type 1 ]:1;\nK=V;\n", "console_cleared": False}

    def setUp(self):
        self.results = harness.parse_results(clean_console(self.RAW), 2)
        for result, cleared in zip(self.results, harness.screen_clears(self.RAW, 3)):
            result["cleared"] = cleared

    def test_clear_screen_seen_only_where_it_happened(self):
        self.assertEqual(harness.screen_clears(self.RAW, 3), [False, True, None])

    def test_file_and_screen_checks(self):
        self.assertEqual(harness.check_case(self.CASE, self.results[0], "Wrote.\n", []), [])
        table = [
            ({"expect_file": "[ Type 1 ]:1;\nK=W;\n"}, 0, "SmbiosTemplate.cfg differs"),
            ({"console_cleared": True}, 0, "the screen was not cleared"),
            ({}, 1, "the screen was cleared"),
        ]
        for changes, index, problem in table:
            problems = harness.check_case(dict(self.CASE, **changes), self.results[index], "Wrote.\n", [])
            self.assertTrue(any(problem in p for p in problems), (changes, problems))

    def test_script_runs_the_program_then_types_the_file(self):
        lines = harness.startup_script([self.CASE]).split("\r\n")
        start = lines.index("tablornX64.efi -d")
        self.assertEqual(lines[start:start + 5], ["tablornX64.efi -d", "echo TVCASE-END-1 %lasterror%",
                                                  "echo TVFILE-BEGIN-1", "type SmbiosTemplate.cfg",
                                                  "echo TVFILE-END-1"])


class Script(unittest.TestCase):
    def test_startup_script_lines(self):
        script = harness.startup_script([USAGE_CASE, REDIRECT_CASE])
        self.assertTrue(script.endswith("reset -s\r\n"))
        self.assertNotIn("\n", script.replace("\r\n", ""), "every line must end in CR LF")
        lines = script.split("\r\n")
        self.assertIn("tolvane.efi", lines)
        self.assertIn("tolvane.efi -vlan on 0 > out2.txt", lines)
        self.assertIn("echo TVCASE-END-1 %lasterror%", lines)

    def test_setup_lines_come_before_the_begin_marker(self):
        case = dict(USAGE_CASE, setup=["echo 1 >a fru_source_index"], shell="hexdump fru.bin")
        lines = harness.startup_script([case]).split("\r\n")
        first = lines.index("echo 1 >a fru_source_index")
        self.assertEqual(lines[first + 1], "echo TVCASE-BEGIN-1")
        self.assertEqual(lines[first + 2], "hexdump fru.bin")


    def test_a_case_without_data_files_runs_in_its_own_folder(self):
        case = dict(USAGE_CASE, args="-sel list", without_data_files=["B.dat"])
        lines = harness.startup_script([USAGE_CASE, case]).split("\r\n")
        at = lines.index("fs0:\\tolvane.efi -sel list")
        self.assertEqual(lines[at - 1], "cd \\case2")
        self.assertEqual(lines[at + 1:at + 3], ["echo TVCASE-END-2 %lasterror%", "cd \\"])

    def test_data_files_are_placed_and_left_out(self):
        with tempfile.TemporaryDirectory() as work:
            sources = []
            for name in ("A.dat", "B.dat"):
                sources.append(os.path.join(work, name))
                with open(sources[-1], "w") as f:
                    f.write(name)
            root = os.path.join(work, "esp")
            os.makedirs(root)
            cases = [USAGE_CASE, dict(USAGE_CASE, without_data_files=["B.dat"])]
            harness.place_data_files(sources, cases, root)
            self.assertEqual(sorted(os.listdir(root)), ["A.dat", "B.dat", "case2"])
            self.assertEqual(os.listdir(os.path.join(root, "case2")), ["A.dat"])
            with self.assertRaises(harness.HarnessError):
                harness.place_data_files(sources, [dict(USAGE_CASE, without_data_files=["C.dat"])], root)


class Attribution(unittest.TestCase):
    def test_requests_go_to_the_case_running_at_the_time(self):
        log = [{"t_mono_us": 500_000, "request": "06 01"}, {"t_mono_us": 2_500_000, "request": "0C 02"},
               {"t_mono_us": 100_000, "request": "06 04"}]
        per_case, early = harness.attribute_requests(log, {1: 0.2, 2: 1.0, 3: 2.0}, 3)
        self.assertEqual(per_case, [["06 01"], [], ["0C 02"]])
        self.assertEqual(early, ["06 04"])


if __name__ == "__main__":
    unittest.main()
