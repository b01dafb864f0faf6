#!/usr/bin/env python3
"""Writes the linker's default script for Windows programs with the .CRT and .tls sections
moved to the start of .data.

With the 4096-byte file alignment of stowkitwin, each section costs at least a page in the
file, and so in every kit: .CRT (the C runtime's start-up and exit tables) and .tls (the
thread-local template) hold a few dozen bytes each. Inside .data they keep their order and
their symbols; the .tls template comes first, as offsets into it count from its start.

Usage: merge_small_sections.py VERBOSE-OUTPUT-FILE SCRIPT-FILE
"""
import re
import sys


def block(script, name):
    """(start, end, body) of the output-section statement `name BLOCK(...) : { body }`."""
    m = re.search(r"^  %s BLOCK\(__section_alignment__\) :\s*\{" % re.escape(name), script, re.M)
    if not m:
        sys.exit("merge_small_sections: no %s section in the default script" % name)
    depth, at = 1, m.end()
    while depth:
        depth += {"{": 1, "}": -1}.get(script[at], 0)
        at += 1
    return m.start(), at, script[m.end():at - 1]


def main(verbose_path, out_path):
    with open(verbose_path) as f:
        text = f.read()
    parts = re.split(r"^={10,}\s*$", text, flags=re.M)
    if len(parts) < 3:
        sys.exit("merge_small_sections: the linker printed no default script")
    script = parts[1]
    moved = []
    for name in (".tls", ".CRT"):
        start, end, body = block(script, name)
        moved.append(body)
        script = script[:start] + script[end:]
    # The runtime also has tables the default script leaves to orphan placement (the thread
    # start-up ones, .CRT$XD*): they would make a .CRT section of their own again.
    moved.append("    KEEP (*(SORT(.CRT$*)))\n")
    start, end, body = block(script, ".data")
    open_brace = script.index("{", start) + 1
    script = script[:open_brace] + "\n" + "".join(moved) + script[open_brace:]
    with open(out_path, "w") as f:
        f.write(script)


if __name__ == "__main__":
    main(*sys.argv[1:])
