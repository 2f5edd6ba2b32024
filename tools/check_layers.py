#!/usr/bin/env python3
"""Checks that the source folders include only their own layer and the layers below it.

The order, lowest first, is the one of docs/DECISIONS.md ("Layers"); each folder is also its own
library linking only the ones below it. Exits 1 and names every include that runs back up.
"""
import pathlib
import re
import sys

LAYERS = ["platform", "foundation", "parameters", "records", "processing", "probelink",
          "storage", "acquisition", "app", "shell", "display", "ui"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/[^"]+"', re.M)


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    rank = {name: i for i, name in enumerate(LAYERS)}
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in rank:
            faults.append(f"{path}: folder '{layer}' has no place in the layer order")
            continue
        for m in INCLUDE.finditer(path.read_text(encoding="utf-8")):
            used = m.group(1)
            if used in rank and rank[used] > rank[layer]:
                line = path.read_text(encoding="utf-8").count("\n", 0, m.start()) + 1
                faults.append(f"{path}:{line}: {layer} includes {m.group(0).split()[-1]}, "
                              f"a layer above it ({used})")
    for fault in faults:
        print(fault)
    if not faults:
        print(f"layers one-way: {', '.join(LAYERS)}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
