#!/usr/bin/env python3
"""Fails when an #include of a product file points against the layers.

    encoding -> textstore -> index -> builder   (the core, no Qt)
    <- panel logic (no Qt) <- gui <- panel widgets <- shell
    tools: the core and the panel logic only

Reads every `#include "..."` and `#include <Q...>` line of the product folders and
prints `file:line: ...` for each include a layer may not make. Exit 1 when any.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PANEL_WIDGETS = {"leftform", "htmlctrl", "sortlistctrl", "gotodialog", "bookmarkdialog"}
CORE = ["encoding", "textstore", "index", "builder"]

# Layer -> the layers it may include (itself included). Layers without Qt say so.
ALLOWED = {
    "encoding": ["encoding"],
    "textstore": ["encoding", "textstore"],
    "index": ["encoding", "textstore", "index"],
    "builder": CORE,
    "panel logic": CORE + ["panel logic"],
    "gui": CORE + ["panel logic", "gui"],
    "panel widgets": CORE + ["panel logic", "gui", "panel widgets"],
    "shell": CORE + ["panel logic", "gui", "panel widgets", "shell"],
    "tools": CORE + ["panel logic", "tools"],
}
WITHOUT_QT = set(CORE) | {"panel logic", "tools"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(path: pathlib.PurePosixPath):
    """The layer of a repository-relative path, or None outside the product."""
    if len(path.parts) < 2:
        return None
    folder = path.parts[0]
    if folder == "panel":
        return "panel widgets" if path.stem in PANEL_WIDGETS else "panel logic"
    return folder if folder in ALLOWED else None


def is_qt(header: str) -> bool:
    first = header.split("/", 1)[0]
    return first.startswith("Q") or first.startswith("qt")


def check(root: pathlib.Path):
    faults = []
    for file in sorted(root.rglob("*")):
        if file.suffix not in (".h", ".cpp") or not file.is_file():
            continue
        rel = pathlib.PurePosixPath(file.relative_to(root).as_posix())
        layer = layer_of(rel)
        if layer is None:
            continue
        lines = file.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            bracket, header = match.groups()
            if bracket == "<":
                if layer in WITHOUT_QT and is_qt(header):
                    faults.append(f"{rel}:{number}: {layer} includes Qt <{header}>")
                continue
            if header.endswith(".moc"):
                continue
            target = layer_of(pathlib.PurePosixPath(header))
            if target is None:
                faults.append(f"{rel}:{number}: {layer} includes \"{header}\", "
                              "which is no layer's (include headers with their folder)")
            elif target not in ALLOWED[layer]:
                faults.append(f"{rel}:{number}: {layer} includes \"{header}\" of {target}, "
                              "against the layers")
    return faults


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT
    faults = check(root)
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"check-layers: {len(faults)} include(s) against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
