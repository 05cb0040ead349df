#!/usr/bin/env python3
"""Checks the links of the README and of docs/: every link to a file of the tree leads to a
file that is there, and every link to a heading ("file.md#heading", "#heading") to a heading
that is there.

    check-links.py [ROOT]

Prints each broken link and a summary; exits 1 when there is one.
"""
import functools
import os
import re
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")


@functools.cache
def anchors(path):
    """The anchors a Markdown file's headings get: lower case, punctuation gone, blanks as "-"."""
    with open(path, encoding="utf-8") as file:
        headings = [line.lstrip("#").strip() for line in file if line.startswith("#")]
    return {re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-") for heading in headings}


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    pages = [os.path.join(root, "README.md")] + sorted(
        os.path.join(root, "docs", name) for name in os.listdir(os.path.join(root, "docs")) if name.endswith(".md"))
    broken = links = 0
    for page in pages:
        with open(page, encoding="utf-8") as file:
            text = file.read()
        for target in LINK.findall(text):
            if re.match(r"[a-z]+:", target):
                continue  # a web address: not checked here
            links += 1
            path, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            if not os.path.exists(resolved):
                problem = "no file %s" % os.path.relpath(resolved, root)
            elif anchor and (not resolved.endswith(".md") or anchor not in anchors(resolved)):
                problem = "no heading #%s in %s" % (anchor, os.path.relpath(resolved, root))
            else:
                continue
            broken += 1
            print("check-links: %s: (%s): %s" % (os.path.relpath(page, root), target, problem))
    print("check-links: %d links in %d pages, %d broken" % (links, len(pages), broken))
    sys.exit(1 if broken else 0)


if __name__ == "__main__":
    main()
