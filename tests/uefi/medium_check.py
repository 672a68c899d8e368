#!/usr/bin/env python3
"""Checks the medium (build target medium) against what the tool itself
reads and runs, without QEMU: the host build of the same core is run in an
empty folder, and every file it asks for is taken from the FAT image, so the
list of files comes from the tool, not from the build's list.

- `-sel list` names the first event text data file it cannot open; each is
  copied from the image and the run repeated until the listing succeeds (a file
  the image lacks fails the check).
- `-fru 1s` runs the SMBIOS dump by name from PATH; PATH holds a stand-in for
  every .efi file of the image but the tool, and the check sees which ran.
- The image holds nothing else, and each of its files has the bytes of the
  build's file of that name, as has the medium folder.

Only the Python standard library and mtools are used.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

FAILED_OPEN_RE = re.compile(r"^Failed to open (\S+)\.$", re.M)


def image_names(image):
    """The files in the image's root folder, as mdir lists them (long names)."""
    listing = subprocess.run(["mdir", "-b", "-i", image, "::/"], check=True, stdout=subprocess.PIPE).stdout.decode()
    return [line[len("::/"):] for line in listing.splitlines() if line.startswith("::/")]


def copy_from_image(image, name, target):
    subprocess.run(["mcopy", "-n", "-i", image, "::/" + name, target], check=True)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run_tool(tool, args, cwd, env):
    run = subprocess.run([tool] + args, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         timeout=60)
    return run.returncode, run.stdout.decode("utf-8", errors="replace")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--image", required=True, help="the medium's FAT image")
    parser.add_argument("--folder", required=True, help="the medium folder")
    parser.add_argument("--efi", required=True, help="tolvane.efi as built")
    parser.add_argument("--host-tool", required=True, help="the host build of the tool")
    parser.add_argument("--build-dir", required=True, help="where the build leaves the medium's files")
    args = parser.parse_args()
    for name in ("image", "folder", "efi", "host_tool", "build_dir"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    problems = []
    names = image_names(args.image)
    by_folded_name = {name.lower(): name for name in names}  # FAT names ignore case
    tool_name = os.path.basename(args.efi)
    needed = {}  # name on the image -> what needs it
    if tool_name.lower() in by_folded_name:
        needed[by_folded_name[tool_name.lower()]] = "the tool itself"
    else:
        problems.append("the image lacks %s" % tool_name)

    with tempfile.TemporaryDirectory(prefix="medium-check-") as scratch:
        run_dir = os.path.join(scratch, "run")
        bin_dir = os.path.join(scratch, "bin")
        os.makedirs(run_dir)
        os.makedirs(bin_dir)
        # No installed data files stand in for missing ones.
        env = {"PATH": bin_dir, "TOLVANE_PORTS": "simulator", "TOLVANE_VIRTUAL_CLOCK": "1",
               "TOLVANE_DATA_DIR": os.path.join(scratch, "no-installed-data"),
               "TOLVANE_BMC_STATE": os.path.join(scratch, "bmc-state.json")}

        # The event text data files, one "Failed to open" at a time.
        complete = False  # whether each run found what it asked for
        for _ in range(len(names) + 1):
            status, output = run_tool(args.host_tool, ["-sel", "list"], run_dir, env)
            missing = FAILED_OPEN_RE.search(output)
            if not missing:
                if status != 0:
                    problems.append("-sel list with the image's files exits %d:\n%s" % (status, output))
                complete = True
                break
            name = by_folded_name.get(missing.group(1).lower())
            if name is None:
                problems.append("-sel list opens %s, which the image lacks" % missing.group(1))
                break
            needed[name] = "-sel list"
            copy_from_image(args.image, name, os.path.join(run_dir, missing.group(1)))

        # The programs the tool runs: a stand-in for each .efi file but the tool.
        ran_log = os.path.join(scratch, "ran.txt")
        for name in names:
            if name.lower().endswith(".efi") and name.lower() != tool_name.lower():
                stand_in = os.path.join(bin_dir, name)
                with open(stand_in, "w") as f:
                    f.write("#!/bin/sh\necho \"${0##*/}\" >> '%s'\n" % ran_log)
                os.chmod(stand_in, 0o755)
        status, output = run_tool(args.host_tool, ["-fru", "1s"], run_dir, env)
        ran = read(ran_log).decode().split() if os.path.exists(ran_log) else []
        if not ran:
            problems.append("-fru 1s runs no program of the image (it printed: %s)" % output.strip())
            complete = False
        for name in ran:
            needed[name] = "-fru 1s"

    for name in names if complete else []:  # what a stopped run never asked for is not known
        if name not in needed:
            problems.append("the image holds %s, which the tool neither opens nor runs" % name)
    folder_names = sorted(os.listdir(args.folder))
    if folder_names != sorted(names):
        problems.append("the medium folder holds %s, the image %s" % (folder_names, sorted(names)))
    with tempfile.TemporaryDirectory(prefix="medium-check-") as scratch:
        for name in names:
            copy = os.path.join(scratch, name)
            copy_from_image(args.image, name, copy)
            built = os.path.join(args.build_dir, name)
            if not os.path.exists(built) or read(copy) != read(built):
                problems.append("%s on the image is not the build's %s" % (name, built))
            in_folder = os.path.join(args.folder, name)
            if os.path.exists(in_folder) and read(in_folder) != read(copy):
                problems.append("%s in the medium folder differs from the image's" % name)

    for name in sorted(needed):
        print("  %-16s %s" % (name, needed[name]))
    if problems:
        print("FAILED:\n  " + "\n  ".join(problems))
        return 1
    print("PASSED: the medium holds the %d files the tool reads and runs, and nothing else" % len(names))
    return 0


if __name__ == "__main__":
    sys.exit(main())
