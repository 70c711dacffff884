#!/usr/bin/env python3
"""Fails when an #include runs back up the layers of the source tree.

The library's folders, from the ground up: core, image, locate, sample, ecc,
message, driver, api. A file may include headers of its own folder and of the
folders below it. The public header (include/ternwick) includes nothing of the
library's inside. The programs on top include only the public header and the
driver (cli, gui), or only the public header (python).

Usage: check_includes.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

LIBRARY_LAYERS = ["core", "image", "locate", "sample", "ecc", "message", "driver", "api"]
# What each program folder may include besides its own files.
PROGRAMS = {"cli": {"ternwick", "driver"}, "gui": {"ternwick", "driver"}, "python": {"ternwick"}}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def violations(root: pathlib.Path):
    rank = {name: i for i, name in enumerate(LIBRARY_LAYERS)}
    for path in sorted(root.glob("src/**/*")) + sorted(root.glob("include/**/*")) + [
        p for folder in PROGRAMS for p in sorted(root.glob(f"{folder}/**/*"))
    ]:
        if path.suffix not in {".h", ".hpp", ".cpp", ".cc"}:
            continue
        relative = path.relative_to(root)
        top = relative.parts[0]
        for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            first = target.split("/")[0] if "/" in target else None
            if top == "src":
                layer = relative.parts[1]
                if first is None:
                    yield f"{relative}: includes \"{target}\" without its folder"
                elif first == "ternwick":
                    if layer != "api":
                        yield f"{relative}: includes the public header \"{target}\"; only api/ implements it"
                elif first not in rank:
                    yield f"{relative}: includes \"{target}\" from outside the library"
                elif rank[first] > rank[layer]:
                    yield f"{relative}: {layer}/ includes \"{target}\", a layer above it"
            elif top == "include":
                if first != "ternwick" and first is not None:
                    yield f"{relative}: the public header includes \"{target}\" from the library's inside"
            else:
                if first is not None and first not in PROGRAMS[top]:
                    yield f"{relative}: {top}/ includes \"{target}\"; it may use only {sorted(PROGRAMS[top])}"


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    found = list(violations(root))
    for line in found:
        print(line)
    print(f"include directions: {len(found)} violation(s)")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
