#!/usr/bin/env python3
"""Prints where each Windows program's bytes come from, by part, from the linker's map beside
it (PROGRAM.map), so that a change which adds 100 KB shows where they went:

    size_figures.py build/release/launcher/Varnolet.exe build/release/installer/TolvarinHelper.exe

A part is what the inputs of the map's loaded sections add up to (code, data, exception tables);
the PE headers, the import tables, the relocations and the padding to the file's alignment are
the rest of the file. The release (tools/release.sh) prints this table for what it ships.
"""

import os
import re
import sys

# First match wins: an input's path (an archive's) to the part it belongs to. Inputs inside the
# build tree are named by relative paths: the project's own code and its resources.
PARTS = (
    ("resources", r"\.res$"),
    ("own code", r"^[^/]"),
    ("libstdc++", r"/libstdc\+\+\.a$|/libsupc\+\+\.a$"),
    ("libgcc (unwinder)", r"/libgcc(_eh)?\.a$|/crt(begin|end)\.o$"),
    ("thread library", r"/lib(win)?pthread\.a$"),
    ("C runtime", r"/i686-w64-mingw32/|/x86_64-w64-mingw32/"),
)
OTHER = "headers, imports, relocations, padding"
# Sections the loader maps from the file; .bss takes no bytes in it, debug sections are stripped.
LOADED = re.compile(r"^\.(text|data|rdata|eh_frame|pdata|xdata|CRT|tls|rsrc|edata)\b")
INPUT = re.compile(r"^ (\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*?)\s*$")
SECTION = re.compile(r"^(\.\S+)")


def part_of(path):
    archive = re.fullmatch(r"(.+\.a)\(.+\)", path)
    path = archive.group(1) if archive else path
    for name, pattern in PARTS:
        if re.search(pattern, os.path.normpath(path) if path.startswith("/") else path):
            return name
    return None


def parts(program):
    """{part: bytes} of one program, from PROGRAM.map and the program's size."""
    sizes = {name: 0 for name, _ in PARTS}
    with open(program + ".map", encoding="utf-8", errors="replace") as f:
        text = f.read()
    start = text.find("\nLinker script and memory map")
    if start < 0:
        sys.exit("%s.map is not a linker map" % program)
    loaded = False
    pending = None  # an input section whose name filled its own line
    for line in text[start:].splitlines():
        section = SECTION.match(line)
        if section:
            loaded = bool(LOADED.match(section.group(1)))
            continue
        if pending is not None and line.startswith("                "):
            line = " " + pending + line
        pending = None
        found = INPUT.match(line)
        if found is None:
            named = re.fullmatch(r" (\.\S+)", line)
            pending = named.group(1) if named else None
            continue
        if not loaded or found.group(1) and found.group(1).startswith(".idata"):
            continue
        part = part_of(found.group(3))
        if part is not None:
            sizes[part] += int(found.group(2), 16)
    total = os.path.getsize(program)
    sizes[OTHER] = total - sum(sizes.values())
    sizes["total"] = total
    return sizes


def main(programs):
    if not programs:
        sys.exit(__doc__)
    table = [parts(program) for program in programs]
    names = [os.path.basename(program) for program in programs]
    width = max(len(OTHER), len("part"))
    print("| %-*s | %s |" % (width, "part", " | ".join("%*s" % (len(n), n) for n in names)))
    print("|%s|%s|" % ("-" * (width + 2), "|".join("-" * (len(n) + 1) + ":" for n in names)))
    for row in [name for name, _ in PARTS] + [OTHER, "total"]:
        print("| %-*s | %s |" % (width, row,
                                 " | ".join("%*s" % (len(n), "{:,}".format(sizes[row])) for n, sizes in zip(names, table))))


if __name__ == "__main__":
    main(sys.argv[1:])
