#!/usr/bin/env python3
"""Checks the manual page: groff and man format it without a warning (the way lintian does),
and it documents every mode and option that the program's --help lists and the environment
variables that the program reads."""
import argparse
import os
import re
import subprocess
import sys


def formatter_warnings(page):
    """Warnings of groff's strictest check and of man at a terminal's 80 columns."""
    problems = []
    groff = subprocess.run(["groff", "-man", "-ww", "-z", page], capture_output=True, text=True)
    if groff.returncode != 0 or groff.stderr:
        problems.append("groff -man -ww -z: " + groff.stderr.strip())
    env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
    man = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", page],
                         capture_output=True, text=True, env=env)
    if man.returncode != 0 or man.stderr:
        problems.append("man --warnings: " + man.stderr.strip())
    return problems


def undocumented(page_text, help_text, variables):
    """Options of the help and variables that the page never names."""
    # groff writes a hyphen of an option as "\-"; compare in plain text.
    plain = page_text.replace("\\-", "-").replace("\\%", "")
    options = sorted(set(re.findall(r"^\s+(--?[a-z][a-z-]*)", help_text, re.M)))
    missing = [o for o in options if not re.search(re.escape(o) + r"\b", plain)]
    missing += [v for v in variables if v not in plain]
    return options, missing


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--page", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--variables", nargs="*", default=[])
    args = parser.parse_args()

    problems = formatter_warnings(args.page)
    help_text = subprocess.run([args.program, "--help"], capture_output=True, text=True,
                               check=True).stdout
    with open(args.page, encoding="utf-8") as f:
        options, missing = undocumented(f.read(), help_text, args.variables)
    if len(options) < 2:
        problems.append("--help lists no options: " + help_text)
    problems += ["not in the manual page: " + m for m in missing]
    for p in problems:
        print(p, file=sys.stderr)
    print(f"{len(options)} options and {len(args.variables)} variables checked")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
