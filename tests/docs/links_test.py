#!/usr/bin/env python3
"""Fails, naming the page and the link, when a relative link in README.md or docs/*.md leads to
no file, or to no heading of a Markdown page: `[text](path)`, `[text](path#anchor)`, `(#anchor)`.

    links_test.py [ROOT]      ROOT: the checkout (default: this test's)
"""

import pathlib
import re
import sys

LINK = re.compile(r"\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
SCHEME = re.compile(r"[A-Za-z][A-Za-z0-9+.-]*:")  # https:, mailto:


def prose(page):
    """`page` without its code blocks."""
    return re.sub(r"^```.*?^```", "", page.read_text(encoding="utf-8"), flags=re.S | re.M)


def anchors(page):
    """The anchors GitHub gives the headings of `page`."""
    headings = re.findall(r"^#{1,6}\s+(.+?)\s*#*$", prose(page), flags=re.M)
    return {re.sub(r"[^\w\- ]", "", h.lower()).replace(" ", "-") for h in headings}


root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2]).resolve()
broken = []
for page in [root / "README.md", *sorted((root / "docs").glob("*.md"))]:
    for link in LINK.findall(re.sub(r"`[^`\n]*`", "", prose(page))):
        if SCHEME.match(link):
            continue
        path, _, anchor = link.partition("#")
        target = (page.parent / path).resolve() if path else page
        if not target.exists():
            broken.append(f"{page.relative_to(root)}: {link}: no such file")
        elif anchor and target.suffix == ".md" and anchor not in anchors(target):
            broken.append(f"{page.relative_to(root)}: {link}: no such heading")
print("\n".join(broken) or "every relative link leads somewhere")
sys.exit(1 if broken else 0)
