#!/usr/bin/env python3
"""Builds the nine event text data files of the decoded SEL listing from their
readable sources in this folder (one tab-separated row per record):

  board_names.tsv            -> MBType.dat   (keyed text records)
  generic_events.tsv         -> GenEvt.dat   (event text records, end marker 00h)
  sensor_type_events.tsv -> SpecEvt1.dat .. SpecEvt5.dat by sensor type
                                             (event text records, end marker FFh)
  dimm_locations_romley_en.tsv   -> RomEN.dat   (keyed text records)
  dimm_locations_romley_epex.tsv -> RomEPEX.dat (keyed text records)

Record layouts, as the tool reads them:
  event text record, 1028 bytes: key 1, key 2, key 3 (event data 2, FFh any;
  00h in GenEvt.dat), zero bytes up to 515, the text from byte 516, zero-filled
  to the end (at most 511 characters, so a terminator always follows).
  keyed text record, 258 bytes: key 1, key 2, the text from byte 2, zero-filled
  (at most 255 characters).

Every source is checked before anything is written: a text too long for its
field, a key outside its range, a malformed row, a record another would hide
(the tool takes the first match) each stop the build with the file and line.

usage: make_event_files.py --sources DIR --output DIR
"""

import argparse
import os
import sys

EVENT_RECORD_SIZE = 1028
EVENT_TEXT_OFFSET = 516
EVENT_TEXT_MAX = EVENT_RECORD_SIZE - EVENT_TEXT_OFFSET - 1  # 511
KEYED_RECORD_SIZE = 258
KEYED_TEXT_OFFSET = 2
KEYED_TEXT_MAX = KEYED_RECORD_SIZE - KEYED_TEXT_OFFSET - 1  # 255

GENERIC_END_MARKER = 0x00
SPECIFIC_END_MARKER = 0xFF
ANY_EVENT_DATA_2 = 0xFF
# Generic event/reading type codes, IPMI 2.0 table 42-1 (00h ends GenEvt.dat).
GENERIC_TYPES = (0x01, 0x0C)
OFFSETS = (0x00, 0x0F)
# Sensor type C6h has a fixed text in the tool and no file; FFh ends a SpecEvt file.
SENSOR_TYPES_WITHOUT_FILE = {0xC6: "its text is fixed in the tool and never looked up"}

# The SpecEvt files by sensor type, in the tool's order.
SPECIFIC_FILES = [
    ("SpecEvt1.dat", 0x00, 0x0E),
    ("SpecEvt2.dat", 0x0F, 0x0F),
    ("SpecEvt3.dat", 0x10, 0x1F),
    ("SpecEvt4.dat", 0x20, 0x2C),
    ("SpecEvt5.dat", 0x2D, 0xFE),
]
KEYED_FILES = [
    ("MBType.dat", "board_names.tsv"),
    ("RomEN.dat", "dimm_locations_romley_en.tsv"),
    ("RomEPEX.dat", "dimm_locations_romley_epex.tsv"),
]
GENERIC_SOURCE = "generic_events.tsv"
SPECIFIC_SOURCE = "sensor_type_events.tsv"


class SourceError(Exception):
    """A source row the data files cannot hold; the text names file and line."""


def rows(path, columns):
    """(line number, fields) of every row: tab-separated, the last field the
    text; blank lines and lines starting with '#' are skipped."""
    try:
        with open(path, encoding="ascii", newline="") as f:
            lines = f.read().split("\n")
    except UnicodeDecodeError as error:
        raise SourceError("%s: only ASCII text is allowed (%s)" % (path, error))
    except OSError as error:
        raise SourceError("%s: cannot be read (%s)" % (path, error.strerror))
    for number, line in enumerate(lines, 1):
        line = line.rstrip("\r")
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != columns:
            raise SourceError("%s:%d: %d tab-separated fields, expected %d" % (path, number, len(fields), columns))
        yield number, fields


def parse_byte(text, where, what, low, high):
    """Two hexadecimal digits naming a value in low..high."""
    if len(text) != 2 or any(c not in "0123456789abcdefABCDEF" for c in text):
        raise SourceError("%s: %s %r is not two hexadecimal digits" % (where, what, text))
    value = int(text, 16)
    if not low <= value <= high:
        raise SourceError("%s: %s %02Xh outside its range %02Xh-%02Xh" % (where, what, value, low, high))
    return value


def check_text(text, where, limit, file_name):
    if not text:
        raise SourceError("%s: empty text" % where)
    if any(not " " <= c <= "~" for c in text):
        raise SourceError("%s: the text has a character that is not printable ASCII" % where)
    if len(text) > limit:
        raise SourceError("%s: text of %d characters; %s holds at most %d" % (where, len(text), file_name, limit))
    return text.encode("ascii")


def event_record(key1, key2, key3, text):
    record = bytearray(EVENT_RECORD_SIZE)
    record[0:3] = bytes((key1, key2, key3))
    record[EVENT_TEXT_OFFSET:EVENT_TEXT_OFFSET + len(text)] = text
    return bytes(record)


def keyed_record(key1, key2, text):
    record = bytearray(KEYED_RECORD_SIZE)
    record[0:2] = bytes((key1, key2))
    record[KEYED_TEXT_OFFSET:KEYED_TEXT_OFFSET + len(text)] = text
    return bytes(record)


def generic_file(path):
    records, seen = [], {}
    for number, (type_text, offset_text, text) in rows(path, 3):
        where = "%s:%d" % (path, number)
        keys = (parse_byte(type_text, where, "event/reading type", *GENERIC_TYPES),
                parse_byte(offset_text, where, "offset", *OFFSETS))
        if keys in seen:
            raise SourceError("%s: type %02Xh offset %02Xh already given on line %d" % ((where,) + keys + (seen[keys],)))
        seen[keys] = number
        records.append(event_record(keys[0], keys[1], 0x00, check_text(text, where, EVENT_TEXT_MAX, "GenEvt.dat")))
    records.append(event_record(GENERIC_END_MARKER, 0, 0, b""))
    return b"".join(records)


def specific_files(path):
    per_file = {name: [] for name, _, _ in SPECIFIC_FILES}
    seen = {}
    for number, (type_text, offset_text, data2_text, text) in rows(path, 4):
        where = "%s:%d" % (path, number)
        sensor_type = parse_byte(type_text, where, "sensor type", 0x00, 0xFE)
        if sensor_type in SENSOR_TYPES_WITHOUT_FILE:
            raise SourceError("%s: sensor type %02Xh has no data file: %s" % (
                where, sensor_type, SENSOR_TYPES_WITHOUT_FILE[sensor_type]))
        offset = parse_byte(offset_text, where, "offset", *OFFSETS)
        if data2_text == "any":
            data2 = ANY_EVENT_DATA_2
        else:
            # FFh in a record means any value, so a record cannot name FFh itself.
            data2 = parse_byte(data2_text, where, "event data 2 (FF is written 'any')", 0x00, 0xFE)
        earlier = seen.setdefault((sensor_type, offset), [])
        for line, other in earlier:
            if other in (data2, ANY_EVENT_DATA_2):
                raise SourceError("%s: sensor type %02Xh offset %02Xh %s is never found: line %d matches it first" % (
                    where, sensor_type, offset, "with any event data 2" if data2 == ANY_EVENT_DATA_2
                    else "event data 2 %02Xh" % data2, line))
        earlier.append((number, data2))
        name = next(name for name, first, last in SPECIFIC_FILES if first <= sensor_type <= last)
        per_file[name].append(event_record(sensor_type, offset, data2, check_text(text, where, EVENT_TEXT_MAX, name)))
    return {name: b"".join(records + [event_record(SPECIFIC_END_MARKER, 0, 0, b"")])
            for name, records in per_file.items()}


def keyed_file(path, file_name):
    records, seen = [], {}
    for number, (key1_text, key2_text, text) in rows(path, 3):
        where = "%s:%d" % (path, number)
        keys = (parse_byte(key1_text, where, "key 1", 0x00, 0xFF), parse_byte(key2_text, where, "key 2", 0x00, 0xFF))
        if keys in seen:
            raise SourceError("%s: keys %02Xh %02Xh already given on line %d" % ((where,) + keys + (seen[keys],)))
        seen[keys] = number
        records.append(keyed_record(keys[0], keys[1], check_text(text, where, KEYED_TEXT_MAX, file_name)))
    return b"".join(records)


def build(sources):
    files = {"GenEvt.dat": generic_file(os.path.join(sources, GENERIC_SOURCE))}
    files.update(specific_files(os.path.join(sources, SPECIFIC_SOURCE)))
    for name, source in KEYED_FILES:
        files[name] = keyed_file(os.path.join(sources, source), name)
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sources", required=True, help="folder with the .tsv sources")
    parser.add_argument("--output", required=True, help="folder that receives the nine .dat files")
    args = parser.parse_args()
    try:
        files = build(args.sources)
    except SourceError as error:
        print("make_event_files: error: %s" % error, file=sys.stderr)
        return 1
    os.makedirs(args.output, exist_ok=True)
    for name, content in sorted(files.items()):
        # Written whole to a neighbour and renamed: an interrupted build never
        # leaves half a data file.
        path = os.path.join(args.output, name)
        with open(path + ".tmp", "wb") as f:
            f.write(content)
        os.replace(path + ".tmp", path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
