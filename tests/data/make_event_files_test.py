#!/usr/bin/env python3
"""The event text data file generator: the record layouts it writes, and the
sources it refuses (each with a build error naming the file and line)."""

import os
import subprocess
import sys
import tempfile
import unittest

GENERATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "make_event_files.py")

MINIMAL = {
    "generic_events.tsv": "01\t07\tUpper Non-critical - going high\n",
    "sensor_type_events.tsv": "0C\t00\tany\tCorrectable ECC\n0F\t02\t13\tProgress - boot\n0F\t02\tany\tProgress\n",
    "board_names.tsv": "03\t10\tS5BX Workstation Board\n",
    "dimm_locations_romley_en.tsv": "00\t80\tCPU1_DIMM_A1\n",
    "dimm_locations_romley_epex.tsv": "# no rows\n",
}
OUTPUTS = ["GenEvt.dat", "SpecEvt1.dat", "SpecEvt2.dat", "SpecEvt3.dat", "SpecEvt4.dat", "SpecEvt5.dat", "MBType.dat",
           "RomEN.dat", "RomEPEX.dat"]


def event_record(key1, key2, key3, text):
    record = bytearray(1028)
    record[0:3] = bytes((key1, key2, key3))
    record[516:516 + len(text)] = text.encode()
    return bytes(record)


def keyed_record(key1, key2, text):
    record = bytearray(258)
    record[0:2] = bytes((key1, key2))
    record[2:2 + len(text)] = text.encode()
    return bytes(record)


class Generator(unittest.TestCase):
    def run_generator(self, changes):
        """Runs the generator on the minimal sources with these files replaced;
        returns (exit status, stderr, the data files written)."""
        with tempfile.TemporaryDirectory() as work:
            sources = os.path.join(work, "sources")
            output = os.path.join(work, "out")
            os.makedirs(sources)
            for name, text in dict(MINIMAL, **changes).items():
                with open(os.path.join(sources, name), "wb") as f:
                    f.write(text.encode("latin-1"))
            run = subprocess.run([sys.executable, GENERATOR, "--sources", sources, "--output", output],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            files = {}
            if os.path.isdir(output):
                for name in os.listdir(output):
                    with open(os.path.join(output, name), "rb") as f:
                        files[name] = f.read()
            return run.returncode, run.stderr.decode(), files

    def test_record_layouts(self):
        status, errors, files = self.run_generator({})
        self.assertEqual((status, errors), (0, ""))
        self.assertEqual(sorted(files), sorted(OUTPUTS))
        self.assertEqual(files["GenEvt.dat"], event_record(0x01, 0x07, 0x00, "Upper Non-critical - going high")
                         + event_record(0x00, 0x00, 0x00, ""))
        self.assertEqual(files["SpecEvt1.dat"], event_record(0x0C, 0x00, 0xFF, "Correctable ECC")
                         + event_record(0xFF, 0x00, 0x00, ""))
        self.assertEqual(files["SpecEvt2.dat"], event_record(0x0F, 0x02, 0x13, "Progress - boot")
                         + event_record(0x0F, 0x02, 0xFF, "Progress") + event_record(0xFF, 0x00, 0x00, ""))
        for name in ("SpecEvt3.dat", "SpecEvt4.dat", "SpecEvt5.dat"):
            self.assertEqual(files[name], event_record(0xFF, 0x00, 0x00, ""), name)
        self.assertEqual(files["MBType.dat"], keyed_record(0x03, 0x10, "S5BX Workstation Board"))
        self.assertEqual(files["RomEN.dat"], keyed_record(0x00, 0x80, "CPU1_DIMM_A1"))
        self.assertEqual(files["RomEPEX.dat"], b"")

    def test_sensor_types_go_to_their_files(self):
        rows = "".join("%02X\t00\tany\ttype %02X\n" % (t, t) for t in (0x0E, 0x10, 0x1F, 0x20, 0x2C, 0x2D, 0xC5, 0xFE))
        status, errors, files = self.run_generator({"sensor_type_events.tsv": rows})
        self.assertEqual((status, errors), (0, ""))
        keys = {name: [files[name][i] for i in range(0, len(files[name]), 1028)] for name in OUTPUTS[1:6]}
        self.assertEqual(keys, {"SpecEvt1.dat": [0x0E, 0xFF], "SpecEvt2.dat": [0xFF], "SpecEvt3.dat": [0x10, 0x1F, 0xFF],
                                "SpecEvt4.dat": [0x20, 0x2C, 0xFF], "SpecEvt5.dat": [0x2D, 0xC5, 0xFE, 0xFF]})

    def test_longest_texts_fit(self):
        status, errors, files = self.run_generator({"generic_events.tsv": "0C\t0F\t%s\n" % ("e" * 511),
                                                    "board_names.tsv": "FF\t00\t%s\n" % ("k" * 255)})
        self.assertEqual((status, errors), (0, ""))
        self.assertEqual(files["GenEvt.dat"][516:1028], b"e" * 511 + b"\0")
        self.assertEqual(files["MBType.dat"], keyed_record(0xFF, 0x00, "k" * 255))

    def test_refused_sources(self):
        cases = [
            ("generic_events.tsv", "01\t07\t%s\n" % ("e" * 512), "generic_events.tsv:1: text of 512 characters; "
                                                                  "GenEvt.dat holds at most 511"),
            ("sensor_type_events.tsv", "# c\n05\t00\tany\t%s\n" % ("s" * 512),
             "sensor_type_events.tsv:2: text of 512 characters; SpecEvt1.dat holds at most 511"),
            ("board_names.tsv", "01\t10\t%s\n" % ("b" * 256), "board_names.tsv:1: text of 256 characters; "
                                                               "MBType.dat holds at most 255"),
            ("dimm_locations_romley_epex.tsv", "00\t80\t%s\n" % ("d" * 256), "RomEPEX.dat holds at most 255"),
            ("generic_events.tsv", "00\t07\tx\n", "event/reading type 00h outside its range 01h-0Ch"),
            ("generic_events.tsv", "0D\t00\tx\n", "event/reading type 0Dh outside its range 01h-0Ch"),
            ("generic_events.tsv", "01\t10\tx\n", "offset 10h outside its range 00h-0Fh"),
            ("generic_events.tsv", "01\t1G\tx\n", "offset '1G' is not two hexadecimal digits"),
            ("generic_events.tsv", "01\t07\n", "generic_events.tsv:1: 2 tab-separated fields, expected 3"),
            ("generic_events.tsv", "01\t07\tx\n01\t07\ty\n", "generic_events.tsv:2: type 01h offset 07h already given "
                                                            "on line 1"),
            ("generic_events.tsv", "01\t07\t\n", "generic_events.tsv:1: empty text"),
            ("generic_events.tsv", "01\t07\tcaf\xe9\n", "only ASCII text is allowed"),
            ("sensor_type_events.tsv", "FF\t00\tany\tx\n", "sensor type FFh outside its range 00h-FEh"),
            ("sensor_type_events.tsv", "C6\t00\tany\tx\n", "sensor type C6h has no data file"),
            ("sensor_type_events.tsv", "0F\t00\tFF\tx\n", "event data 2 (FF is written 'any') FFh outside its range"),
            ("sensor_type_events.tsv", "0F\t00\tany\tx\n0F\t00\t01\ty\n",
             "sensor_type_events.tsv:2: sensor type 0Fh offset 00h event data 2 01h is never found: line 1 "
             "matches it first"),
            ("sensor_type_events.tsv", "0F\t00\t01\tx\n0F\t00\t01\ty\n", "is never found: line 1 matches it first"),
            ("board_names.tsv", "01\t10\ta\n01\t10\tb\n", "board_names.tsv:2: keys 01h 10h already given on line 1"),
            ("board_names.tsv", "1\t10\ta\n", "key 1 '1' is not two hexadecimal digits"),
        ]
        for source, text, message in cases:
            with self.subTest(message=message):
                status, errors, files = self.run_generator({source: text})
                self.assertEqual(status, 1)
                self.assertIn(message, errors)
                self.assertTrue(errors.startswith("make_event_files: error: "), errors)
                self.assertEqual(files, {}, "nothing is written when a source is refused")


if __name__ == "__main__":
    unittest.main()
