#!/usr/bin/env python3
"""Checks that the top-level folders include one another only downwards.

The layers, from the top:
    app                                   the spine: main, start-up, command line, driver
    synch, filereplace, registry, shortcuts   the jobs, which never include one another
    services                              what every job shares
    pattern, script                       the pattern engine above the script reader
    platform                              the system services (posix/, win32/)
    resources                             string table, dialog numbers, pictures

A file may include its own folder and any folder of a lower layer. Tests (*_test.cpp and the
test doubles test_*.h) may also include the shared test support (tests/) and the fuzz targets'
bodies (fuzz/), which sit outside the layers. Prints every include that breaks the rule and
exits 1 when there is one.
"""
import os
import re
import sys

LAYERS = [
    ["app"],
    ["synch", "filereplace", "registry", "shortcuts"],
    ["services"],
    ["pattern"],
    ["script"],
    ["platform"],
    ["resources"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
OUTSIDE_FOR_TESTS = {"tests", "fuzz"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')


def is_test(name):
    return name.endswith("_test.cpp") or (name.startswith("test_") and name.endswith(".h"))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    faults = []
    for folder in RANK:
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                if not name.endswith((".cpp", ".h", ".inc")):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = match.group(1)
                        if target == folder:
                            continue
                        if target in RANK and RANK[target] > RANK[folder]:
                            continue
                        if target in OUTSIDE_FOR_TESTS and is_test(name):
                            continue
                        if target not in RANK and target not in OUTSIDE_FOR_TESTS:
                            continue  # not one of the project's folders
                        relative = os.path.relpath(path, root)
                        faults.append(f"{relative}:{number}: {folder} may not include {target}/")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layers (see tools/check-layers.py)")
        return 1
    print("includes follow the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
