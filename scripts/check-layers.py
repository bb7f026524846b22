#!/usr/bin/env python3
"""Fails when an #include of a product file points against the layers.

    encoding -> textstore -> index -> builder   (the core, no Qt)
    <- panel (logic, no Qt) <- gui <- panelui (the panel's widgets) <- shell
    gui: the core only (the platform layer knows nothing of the panel)
    tools: the core and the panel logic only, no Qt

A file's layer is its top folder. Reads every #include line of the C++ sources and
headers of the product folders, whatever their suffix, and prints `file:line: ...`
for each include a layer may not make: a quoted header of a folder to its right, a
quoted header outside every layer, or a Qt header in a layer without Qt. Qt's headers
are recognised by what they are: a module folder (<QtCore/...>), or a name that one
of Qt's module folders holds (<QWidget>, <qglobal.h>). Exit 1 when any.

Usage: check-layers.py [ROOT] [--qt-headers DIR]...
"""
import argparse
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORE = ["encoding", "textstore", "index", "builder"]
ORDER = CORE + ["panel", "gui", "panelui", "shell"]

# Layer -> the layers it may include (itself included).
ALLOWED = {layer: ORDER[: ORDER.index(layer) + 1] for layer in ORDER}
ALLOWED["builder"] = CORE
ALLOWED["panel"] = CORE + ["panel"]
ALLOWED["gui"] = CORE + ["gui"]
ALLOWED["tools"] = CORE + ["panel", "tools"]
WITHOUT_QT = set(CORE) | {"panel", "tools"}

SOURCE_SUFFIXES = {".h", ".hh", ".hpp", ".hxx", ".h++", ".inl", ".ipp", ".tcc",
                   ".c", ".cc", ".cpp", ".cxx", ".c++", ".cppm", ".ixx"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_MODULE = re.compile(r"^Qt[A-Z][A-Za-z0-9]*$")


def layer_of(path: pathlib.PurePosixPath):
    """The layer of a repository-relative path: its top folder, None outside them."""
    if len(path.parts) < 2:
        return None
    return path.parts[0] if path.parts[0] in ALLOWED else None


def default_qt_header_dirs():
    """Qt's include folders, as qtpaths6 or qmake6 report them; empty without Qt."""
    for command in (["qtpaths6", "--query", "QT_INSTALL_HEADERS"],
                    ["qmake6", "-query", "QT_INSTALL_HEADERS"]):
        try:
            out = subprocess.run(command, capture_output=True, text=True, timeout=20)
        except (OSError, subprocess.SubprocessError):
            continue
        folder = pathlib.Path(out.stdout.strip())
        if out.returncode == 0 and folder.is_dir():
            return [folder]
    return [p for p in pathlib.Path("/usr/include").glob("*/qt6") if p.is_dir()]


class QtHeaders:
    """The names Qt's module folders hold, and a rule for when Qt is not installed."""

    def __init__(self, dirs):
        self.names = set()
        for folder in dirs:
            for module in pathlib.Path(folder).iterdir():
                if module.is_dir() and QT_MODULE.match(module.name):
                    self.names.update(p.name for p in module.iterdir() if p.is_file())

    def __contains__(self, header: str) -> bool:
        first = header.split("/", 1)[0]
        if "/" in header and QT_MODULE.match(first):
            return True
        if header in self.names:
            return True
        # Without an installed Qt: its class headers (QWidget) and its q*.h files.
        return bool(re.match(r"^Q[A-Z]\w*$", header) or re.match(r"^q[a-z0-9_]+\.h$", header))


def check(root: pathlib.Path, qt: QtHeaders):
    faults = []
    for file in sorted(root.rglob("*")):
        if file.suffix.lower() not in SOURCE_SUFFIXES or not file.is_file():
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
            if header in qt or bracket == "<" and QT_MODULE.match(header.split("/", 1)[0]):
                if layer in WITHOUT_QT:
                    faults.append(f"{rel}:{number}: {layer} includes Qt {bracket}{header}")
                continue
            if bracket == "<" or header.endswith(".moc"):
                continue
            target = layer_of(pathlib.PurePosixPath(header))
            if target is None:
                faults.append(f"{rel}:{number}: {layer} includes \"{header}\", "
                              "which is no layer's (include headers with their folder)")
            elif target not in ALLOWED[layer]:
                faults.append(f"{rel}:{number}: {layer} includes \"{header}\" of {target}, "
                              "against the layers")
    return faults


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("root", nargs="?", type=pathlib.Path, default=ROOT)
    parser.add_argument("--qt-headers", action="append", type=pathlib.Path,
                        help="a Qt include folder (default: the one qtpaths6 reports)")
    args = parser.parse_args(argv)
    qt = QtHeaders(args.qt_headers if args.qt_headers is not None else default_qt_header_dirs())
    faults = check(args.root, qt)
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"check-layers: {len(faults)} include(s) against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
