#!/usr/bin/env python3
"""What takes the space in a program linked by GNU ld: sums the input
sections kept in the link map (-Wl,-Map=FILE) per library and per object.

    map_size.py FILE.map [--top N]

To get the map of the Windows installer, relink it by hand from its link
command with the map added (the build strips with -s; the map is the same):
    cd build-windows && sh -c "$(cat CMakeFiles/MirevaleSetup.dir/link.txt) -Wl,-Map=setup.map"
"""
import argparse
import collections
import os
import re

# " .text.name  0x0000000140001000  0x1234 /path/libQt5Gui.a(qimage.cpp.obj)"
# (the section name may stand alone on the line before the numbers)
ENTRY = re.compile(r"^\s*(\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
# ".qt": Qt's own sections (the MIME database, plugin metadata).
KEPT = (".text", ".rdata", ".data", ".pdata", ".xdata", ".rsrc", ".tls", ".ctors", ".dtors", ".qt")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("map")
    parser.add_argument("--top", type=int, default=25)
    args = parser.parse_args()

    by_library = collections.Counter()
    by_object = collections.Counter()
    by_kind = collections.Counter()
    pending = None
    in_memory_map = False
    for line in open(args.map, errors="replace"):
        if line.startswith("Linker script and memory map"):
            in_memory_map = True
            continue
        if not in_memory_map:
            continue
        stripped = line.strip()
        if stripped.startswith(".") and " " not in stripped:
            pending = stripped  # the numbers follow on the next line
            continue
        match = ENTRY.match(line)
        if not match:
            pending = None
            continue
        section = match.group(1) or pending
        pending = None
        size = int(match.group(3), 16)
        origin = match.group(4).strip()
        if not section or size == 0 or not section.startswith(KEPT) or origin.startswith("*"):
            continue
        kind = next(k for k in KEPT if section.startswith(k))
        library, _, member = origin.partition("(")
        by_library[os.path.basename(library)] += size
        by_object[os.path.basename(library) + ("(" + member if member else "")] += size
        by_kind[kind] += size

    total = sum(by_library.values())
    print("kept input sections: %.2f MB" % (total / 1e6))
    for title, counter in (("by kind", by_kind), ("by library", by_library),
                           ("by object", by_object)):
        print("\n%s:" % title)
        for name, size in counter.most_common(args.top):
            print("  %8.1f KB  %5.1f %%  %s" % (size / 1e3, 100.0 * size / total, name))


if __name__ == "__main__":
    main()
