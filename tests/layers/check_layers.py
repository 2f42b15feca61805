#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The program's layers, from the top: app/, devices/, then inf/, registry/ and
common/ (which do not use each other), and platform/ at the bottom. Each may
include only its own headers and those of the layers below it.
"""
import pathlib
import re
import sys

BELOW = {
    "app": {"app", "devices", "inf", "registry", "common"},
    "devices": {"devices", "inf", "registry", "common"},
    "inf": {"inf"},
    "registry": {"registry"},
    "common": {"common"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def main(root):
    problems = []
    for layer, allowed in BELOW.items():
        for path in sorted((root / layer).glob("*.*")):
            for number, line in enumerate(path.read_text().splitlines(), 1):
                match = INCLUDE.match(line)
                if match and match.group(1) in BELOW and match.group(1) not in allowed:
                    problems.append(f"{path.relative_to(root)}:{number}: {layer}/ includes {match.group(1)}/, a layer above or beside it")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")))
