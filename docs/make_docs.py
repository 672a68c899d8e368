#!/usr/bin/env python3
"""The command reference, from docs/commands.txt, as the manual page tolvane(1)
and as the generated sections of README.md.

    make_docs.py man OUTPUT [--version V] [--render]
                                  write the manual page (troff); --render: then
                                  status 1 when groff warns about it
    make_docs.py readme [README]  rewrite README's generated sections
    make_docs.py check [README]   status 1 (and a diff) when README's generated
                                  sections differ

README's generated sections lie between '<!-- BEGIN generated: NAME -->' and
'<!-- END generated: NAME -->' lines; NAME is 'commands' or 'environment'.
The manual page is docs/tolvane.1.in with @VERSION@, @COMMANDS@, @EXIT_STATUS@
and @ENVIRONMENT@ filled in.

docs/commands.txt: '#' lines are comments. '[group TITLE]' starts a group of
command forms, '[status]' the exit statuses, '[environment]' the environment
variables. Every other non-empty line is one row, its columns separated by
' | ': a command form, what it does and its exit statuses (space-separated); a
status and its meaning; a variable and its meaning. In a form, upper-case words
are operands. In the text, `...` is literal (code in Markdown, bold in troff).

Python 3 standard library only.
"""

import argparse
import difflib
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "commands.txt")
MAN_TEMPLATE = os.path.join(HERE, "tolvane.1.in")
README = os.path.join(HERE, "..", "README.md")
GENERATOR_NOTE = "generated from docs/commands.txt by docs/make_docs.py readme; edit that file, not this section"


class SourceError(Exception):
    pass


def read_source(path=SOURCE):
    """{'groups': [(title, [(form, text, statuses)])], 'status': [(n, text)],
    'environment': [(name, text)]}"""
    groups, status, environment = [], [], []
    current = None
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            header = re.fullmatch(r"\[(group|status|environment)(?: (.+))?\]", line)
            if header:
                kind, title = header.groups()
                if kind == "group":
                    if not title:
                        raise SourceError("%s:%d: a group needs a title" % (path, number))
                    groups.append((title, []))
                    current = groups[-1][1]
                else:
                    current = status if kind == "status" else environment
                continue
            if current is None:
                raise SourceError("%s:%d: a row before any [section]" % (path, number))
            columns = [column.strip() for column in line.split(" | ")]
            wanted = 3 if current is not status and current is not environment else 2
            if len(columns) != wanted or not all(columns):
                raise SourceError("%s:%d: %d columns separated by ' | ' expected" % (path, number, wanted))
            if wanted == 3:
                columns[2] = columns[2].split()
            current.append(tuple(columns))
    known = {code for code, _ in status}
    for title, rows in groups:
        for form, _, statuses in rows:
            unknown = [code for code in statuses if code not in known]
            if unknown:
                raise SourceError("%s: %s: status %s is not in [status]" % (path, form, ", ".join(unknown)))
    return {"groups": groups, "status": status, "environment": environment}


# ---- Markdown ---------------------------------------------------------------


def md_cell(text):
    return text.replace("|", "\\|")


def markdown_sections(source):
    commands = []
    for title, rows in source["groups"]:
        commands += ["**%s**" % title, "", "| command | what it does | exit status |", "|---|---|---|"]
        for form, text, statuses in rows:
            commands.append("| `%s` | %s | %s |" % (md_cell(form), md_cell(text), ", ".join(statuses)))
        commands.append("")
    commands += ["**Exit statuses**", "", "| status | meaning |", "|---|---|"]
    commands += ["| %s | %s |" % (code, md_cell(text)) for code, text in source["status"]]
    environment = ["| variable | effect |", "|---|---|"]
    environment += ["| `%s` | %s |" % (name, md_cell(text)) for name, text in source["environment"]]
    return {"commands": commands, "environment": environment}


def begin_marker(name):
    return "<!-- BEGIN generated: %s (%s) -->" % (name, GENERATOR_NOTE)


def end_marker(name):
    return "<!-- END generated: %s -->" % name


def updated_readme(text, sections):
    for name, lines in sections.items():
        pattern = re.compile(r"(?ms)^<!-- BEGIN generated: %s .*?-->\n.*?^%s$" % (name, re.escape(end_marker(name))))
        block = "\n".join([begin_marker(name)] + lines + [end_marker(name)])
        text, count = pattern.subn(lambda _: block, text)
        if count != 1:
            raise SourceError("README.md: %d sections marked '%s' (one expected)" % (count, name))
    return text


# ---- troff ------------------------------------------------------------------


def troff_escape(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def troff_text(text):
    """`literal` in bold, the rest plain."""
    parts = re.split(r"`([^`]*)`", text)
    out = []
    for index, part in enumerate(parts):
        out.append("\\fB%s\\fR" % troff_escape(part) if index % 2 else troff_escape(part))
    return "".join(out)


def troff_form(form):
    """Command words in bold, upper-case operands in italics."""
    words = []
    for word in form.split(" "):
        def operand(match):
            return "\\fI%s\\fB" % match.group(0)
        words.append("\\fB" + re.sub(r"[A-Z][A-Z0-9]*(?![a-z])", operand, troff_escape(word)) + "\\fR")
    return " ".join(words)


def man_page(source, version):
    commands = []
    for title, rows in source["groups"]:
        commands.append(".SS %s" % troff_escape(title))
        for form, text, statuses in rows:
            commands += [".TP", troff_form(form), troff_text(text), "Exit status: %s." % ", ".join(statuses)]
    exit_status = []
    for code, text in source["status"]:
        exit_status += [".TP", "\\fB%s\\fR" % code, troff_text(text)]
    environment = []
    for name, text in source["environment"]:
        environment += [".TP", "\\fB%s\\fR" % troff_escape(name), troff_text(text)]
    with open(MAN_TEMPLATE, encoding="utf-8") as template:
        page = template.read()
    for key, lines in (("COMMANDS", commands), ("EXIT_STATUS", exit_status), ("ENVIRONMENT", environment)):
        page = page.replace("@%s@\n" % key, "".join(line + "\n" for line in lines))
    page = page.replace("@VERSION@", version)
    leftover = re.search(r"@[A-Z_]+@", page)
    if leftover:
        raise SourceError("tolvane.1.in: %s is not filled in" % leftover.group(0))
    return page


def render(page):
    """0 when groff formats the page without a warning, else 1 with its words."""
    result = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z", page], capture_output=True, text=True,
                            check=False)
    if result.returncode != 0 or result.stderr:
        sys.stderr.write("groff on %s (status %d):\n%s" % (page, result.returncode, result.stderr))
        return 1
    return 0


# ---- commands -----------------------------------------------------------------


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    man = sub.add_parser("man")
    man.add_argument("output")
    man.add_argument("--version", default="")
    man.add_argument("--render", action="store_true")
    for name in ("readme", "check"):
        sub.add_parser(name).add_argument("readme", nargs="?", default=README)
    args = parser.parse_args(argv)

    try:
        source = read_source()
        if args.command == "man":
            page = man_page(source, args.version)
            with open(args.output + ".tmp", "w", encoding="utf-8") as out:
                out.write(page)
            os.replace(args.output + ".tmp", args.output)
            return render(args.output) if args.render else 0
        with open(args.readme, encoding="utf-8") as readme:
            text = readme.read()
        wanted = updated_readme(text, markdown_sections(source))
        if args.command == "readme":
            if wanted != text:
                with open(args.readme, "w", encoding="utf-8") as readme:
                    readme.write(wanted)
            return 0
        if wanted != text:
            sys.stderr.write("README.md's generated sections differ from docs/commands.txt; run "
                             "'python3 docs/make_docs.py readme' (README as it is: -, as generated: +):\n")
            sys.stderr.writelines(difflib.unified_diff(text.splitlines(True), wanted.splitlines(True),
                                                       "README.md", "generated"))
            return 1
        return 0
    except SourceError as error:
        sys.stderr.write("make_docs.py: %s\n" % error)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
