#!/usr/bin/env python3
"""Checks the help pages of one folder: every link between them and every image, stylesheet
and anchor they use resolves to a file of the folder; the pages that the program opens by
name exist; every page can be reached from the index; and every element that is opened is
closed again. Links that leave the folder (http:, mailto:) are not followed."""
import argparse
import os
import re
import sys
from html.parser import HTMLParser
from urllib.parse import unquote, urlsplit

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source",
        "track", "wbr"}


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.refs = []  # (tag, attribute, value, line)
        self.ids = set()
        self.stack = []
        self.problems = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name == "id" and value:
                self.ids.add(value)
            if name in ("href", "src") and value is not None:
                self.refs.append((tag, name, value, self.getpos()[0]))
        if tag not in VOID:
            self.stack.append((tag, self.getpos()[0]))

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if not self.stack or self.stack[-1][0] != tag:
            opened = self.stack[-1] if self.stack else ("nothing", 0)
            self.problems.append(f"line {self.getpos()[0]}: </{tag}> closes <{opened[0]}> "
                                 f"of line {opened[1]}")
            return
        self.stack.pop()

    def close(self):
        super().close()
        for tag, line in self.stack:
            self.problems.append(f"line {line}: <{tag}> is never closed")


def css_refs(path):
    with open(path, encoding="utf-8") as f:
        return re.findall(r"url\(\s*['\"]?([^'\")]+)", f.read())


def check(folder, required):
    pages, problems = {}, []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".html"):
            page = Page()
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                page.feed(f.read())
            page.close()
            pages[name] = page
            problems += [f"{name}: {p}" for p in page.problems]
    for name in required:
        if name + ".html" not in pages:
            problems.append(f"{name}.html is missing: the program opens it by that name")

    links = {name: set() for name in pages}
    root = os.path.realpath(folder)
    for name, page in pages.items():
        for tag, attribute, value, line in page.refs:
            parts = urlsplit(value)
            if parts.scheme or parts.netloc:
                continue
            where = f"{name} line {line}: <{tag} {attribute}=\"{value}\">"
            target = name if not parts.path else os.path.normpath(
                os.path.join(os.path.dirname(name), unquote(parts.path)))
            full = os.path.realpath(os.path.join(folder, target))
            if not full.startswith(root + os.sep):
                problems.append(f"{where} leaves the help folder")
                continue
            if not os.path.isfile(full):
                problems.append(f"{where}: no file {target}")
                continue
            if target.endswith(".css"):
                for ref in css_refs(full):
                    if not os.path.isfile(os.path.join(os.path.dirname(full), ref)):
                        problems.append(f"{target}: no file {ref}")
            if target in pages:
                links[name].add(target)
                if parts.fragment and parts.fragment not in pages[target].ids:
                    problems.append(f"{where}: {target} has no id \"{parts.fragment}\"")

    seen, todo = set(), ["index.html"] if "index.html" in pages else []
    while todo:
        name = todo.pop()
        if name not in seen:
            seen.add(name)
            todo += links[name]
    problems += [f"{name} cannot be reached from index.html" for name in pages if name not in seen]
    return pages, problems


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder")
    parser.add_argument("--require", nargs="*", default=["index"],
                        help="page names that the program opens")
    args = parser.parse_args()
    pages, problems = check(args.folder, args.require)
    for p in problems:
        print(p, file=sys.stderr)
    refs = sum(len(p.refs) for p in pages.values())
    print(f"{len(pages)} pages, {refs} links and images checked, {len(problems)} problems")
    return 1 if problems or not pages else 0


if __name__ == "__main__":
    sys.exit(main())
