#!/usr/bin/env python3
"""Checks of the peer hook's reading of ipmitool output, without QEMU or
ipmi_sim: a check that cannot see a wrong LAN value, a missing user row or
different bytes would pass a tool that changed nothing on the BMC."""

import os
import sys
import unittest

sys.dont_write_bytecode = True  # keep the source tree clean when ctest runs this
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peer_bmc  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "uefi"))
import run_uefi_tests as harness  # noqa: E402

LAN_PRINT = """Set in Progress         : Set Complete
IP Address Source       : Static Address
IP Address              : 10.20.30.40
MAC Address             : 52:54:00:ab:cd:ef
802.1q VLAN ID          : Disabled
"""

USER_LIST = """ID  Name\t     Callin  Link Auth\tIPMI Msg   Channel Priv Limit
1                    true    false      false      Unknown (0x00)
2   ipmiusr          true    false      true       ADMINISTRATOR
3   peeruser         true    true       true       OPERATOR
4                    true    false      false      NO ACCESS
"""


class Parsing(unittest.TestCase):
    def test_fields(self):
        fields = peer_bmc.parse_fields(LAN_PRINT)
        self.assertEqual(fields["IP Address"], "10.20.30.40")
        self.assertEqual(fields["MAC Address"], "52:54:00:ab:cd:ef")
        self.assertEqual(fields["802.1q VLAN ID"], "Disabled")

    def test_user_rows_with_and_without_names(self):
        rows = peer_bmc.parse_user_rows(USER_LIST)
        self.assertEqual(rows[3], {"name": "peeruser", "callin": "true", "link_auth": "true", "ipmi_msg": "true",
                                   "priv": "OPERATOR"})
        self.assertEqual(rows[1]["name"], "")
        self.assertEqual(rows[1]["priv"], "Unknown (0x00)")
        self.assertEqual(rows[4]["priv"], "NO ACCESS")

    def test_hex_bytes_ignore_case_and_text(self):
        self.assertEqual(peer_bmc.hex_bytes(" 00 03 09 08\n"), [0, 3, 9, 8])
        self.assertEqual(peer_bmc.hex_bytes("00 03 9F \n"), [0, 3, 0x9F])


class ChecksThatMustFail(unittest.TestCase):
    def test_table(self):
        # (check, ipmitool status, ipmitool output, tool output, words the problem must contain)
        table = [
            ({"ipmitool": "lan print 1", "fields": {"IP Address": "10.20.30.41"}}, 0, LAN_PRINT, "",
             "IP Address"),
            ({"ipmitool": "lan print 1", "fields": {"Subnet Mask": "255.0.0.0"}}, 0, LAN_PRINT, "",
             "Subnet Mask"),
            ({"ipmitool": "user list 1", "user_row": {"id": 3, "priv": "USER"}}, 0, USER_LIST, "", "priv"),
            ({"ipmitool": "user list 1", "user_row": {"id": 5, "name": "x"}}, 0, USER_LIST, "", "no row"),
            ({"ipmitool": "raw 0x06 0x01", "user": "peeruser"}, 1, "Error: Unable to establish LAN session", "",
             "exited 1"),
            ({"ipmitool": "raw 0x06 0x01", "status": 1}, 0, " 00\n", "", "expected 1"),
            ({"ipmitool": "raw 0x06 0x01", "same_bytes_as_output": True}, 0, " 00 03 09\n", "00 03 08 \n",
             "the tool printed"),
            ({"ipmitool": "raw 0x06 0x01", "same_bytes_as_output": True}, 0, "", "", "gives bytes"),
            ({"ipmitool": "raw 0x0a 0x43", "same_bytes_as_output_line": 2, "skip_bytes": 2}, 0, " ff ff 01 02\n",
             "SEL(   1) 01 02 \nSEL(   2) 01 03 \n", "on line 2"),
            ({"ipmitool": "raw 0x0a 0x43", "same_bytes_as_output_line": 3, "skip_bytes": 2}, 0, " ff ff 01 02\n",
             "SEL(   1) 01 02 \n", "on line 3"),
            ({"ipmitool": "raw 0x0c 0x02", "contains": ["^ 11 2c 81\\s*$"]}, 0, " 11 2c 01\n", "", "no line"),
            ({"ipmitool": "lan print 1", "absent": ["^IP Address Source.*Static"]}, 0, LAN_PRINT, "",
             "must not appear"),
            # One value of two differs; then nothing matches on either side.
            ({"ipmitool": "sel elist",
              "same_values": [{"tool": r"^ *\d+ \| (?P<t>\S+)", "ipmitool": r"\| (?P<t>\S+) UTC"}]},
             0, "   0 | 01:02:03 UTC |\n   1 | 01:02:04 UTC |\n", "  1 | 01:02:03\n  2 | 01:02:05\n", "the tool"),
            ({"ipmitool": "sel elist", "same_values": [{"tool": "^x(?P<v>y)", "ipmitool": "^x(?P<v>y)"}]}, 0, "", "",
             "the tool []"),
        ]
        for check, rc, text, tool_output, words in table:
            problems = peer_bmc.compare_check(check, rc, text, tool_output)
            self.assertTrue(problems, check)
            self.assertIn(words, " ".join(problems), (check, problems))

    def test_matching_checks_pass(self):
        table = [
            ({"ipmitool": "lan print 1", "fields": {"IP Address": "10.20.30.40", "802.1q VLAN ID": "Disabled"}},
             0, LAN_PRINT, ""),
            ({"ipmitool": "user list 1", "user_row": {"id": 3, "name": "peeruser", "ipmi_msg": "true",
                                                      "priv": "OPERATOR"}}, 0, USER_LIST, ""),
            ({"ipmitool": "raw 0x06 0x01", "same_bytes_as_output": True}, 0, " 00 03 9f\n", "00 03 9F \n"),
            ({"ipmitool": "raw 0x0a 0x43", "same_bytes_as_output_line": 2, "skip_bytes": 2}, 0,
             " 03 00 10 00 02\n", "SEL(   1) 01 00 \nSEL(  10) 10 00 02 \n"),
            ({"ipmitool": "raw 0x06 0x01", "status": 1}, 1, "Error", ""),
        ]
        for check, rc, text, tool_output in table:
            self.assertEqual(peer_bmc.compare_check(check, rc, text, tool_output), [], check)


FRU_PRINT = """FRU Device Description : Builtin FRU Device (ID 0)
 Chassis Type          : Rack Mount Chassis
 Chassis Part Number   : CH-1000
 Board Mfg Date        : Fri Mar 15 12:00:00 2024 UTC
 Board Mfg             : ACME
 Product Serial        : PS9876543
"""
TOOL_LISTING = ("Chassis Type (CT)               = Rack Mount Chassis(17h)\n"
                "Chassis Part number (CP)        = CH-1000\n"
                "Board Mfg. Date/Time(BDT)       = 2024/03/15 12:00:00 (F0 59 E2)\n"
                "Board Manufacturer (BM)         = ACME\n"
                "Product Serial number (PS)      = PS9876543\n")


class FruComparison(unittest.TestCase):
    def test_listing_and_single_fields_agree(self):
        self.assertEqual(peer_bmc.compare_fru_fields(TOOL_LISTING, "listing", FRU_PRINT, "fru print"), [])
        self.assertEqual(peer_bmc.compare_fru_fields("PS9876543\n", "PS", FRU_PRINT, "fru print"), [])
        self.assertEqual(peer_bmc.compare_fru_fields("2024/03/15 12:00:00 (F0 59 E2)\n", "BDT", FRU_PRINT, "x"), [])

    def test_differences_are_found(self):
        table = [
            (TOOL_LISTING.replace("CH-1000", "CH-1001"), "listing", "Chassis Part Number"),
            (TOOL_LISTING.replace("Rack Mount", "Tower"), "listing", "Chassis Type"),
            (TOOL_LISTING.replace("2024/03/15", "2024/03/16"), "listing", "Board Mfg Date"),
            ("PS987654\n", "PS", "Product Serial"),
            ("Error: time out.\n", "PS", "Product Serial"),
            ("", "listing", "no FRU fields"),
        ]
        for output, field, problem in table:
            problems = peer_bmc.compare_fru_fields(output, field, FRU_PRINT, "fru print")
            self.assertTrue(any(problem in p for p in problems), (output, problems))

    def test_file_bytes_against_a_fat_volume(self):
        check = {"ipmitool": "fru read 0 {file}", "same_bytes_as_fat_file": "1:NONE.BIN"}
        problems = peer_bmc.compare_check(check, 0, "", "", b"\x01\x02", "/nonexistent")
        self.assertTrue(any("nothing readable" in p for p in problems), problems)


class PausesInTheShellScript(unittest.TestCase):
    def test_pause_only_after_cases_with_checks(self):
        cases = [{"name": "a", "args": "-m", "after": [{"ipmitool": "lan print 1"}]},
                 {"name": "b", "args": "-k"}]
        lines = harness.startup_script(cases).split("\r\n")
        end_1 = lines.index("echo TVCASE-END-1 %lasterror%")
        self.assertEqual(lines[end_1 + 1:end_1 + 3], ["echo TVPAUSE-1", "pause"])
        end_2 = lines.index("echo TVCASE-END-2 %lasterror%")
        self.assertNotIn("pause", lines[end_2 + 1:end_2 + 2])
        self.assertEqual(lines.count("pause"), 1)


class Ports(unittest.TestCase):
    def test_free_ports_are_loopback_and_distinct_kinds(self):
        import socket
        tcp = peer_bmc.free_port(socket.SOCK_STREAM)
        udp = peer_bmc.free_port(socket.SOCK_DGRAM)
        self.assertTrue(0 < tcp < 65536 and 0 < udp < 65536)
        self.assertFalse(peer_bmc.tcp_listening(tcp))


if __name__ == "__main__":
    unittest.main()
