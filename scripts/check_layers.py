#!/usr/bin/env python3
"""Fails when a library folder includes a header from a folder above it.

Each folder is one library and may include only its own headers and those of
the folders below it; Qt may appear only in the Qt front end (app/). The table below
is the dependency direction of the layers, lowest first.
"""
import pathlib
import re
import subprocess
import sys

# Folder -> the project folders its sources may include from.
ALLOWED = {
    "platform": {"platform"},
    "data": {"platform", "data"},
    "web": {"platform", "web"},
    "harvest": {"platform", "data", "web", "harvest"},
    "export": {"platform", "data", "web", "harvest", "export"},
    "journal": {"platform", "data", "web", "harvest", "journal"},
    "research": {"platform", "data", "web", "harvest", "export", "journal", "research"},
    "shell": {"platform", "data", "web", "harvest", "export", "journal", "research", "shell"},
    # The Win32 window: a front end beside app/ and cli/, never using either.
    "win32": {"platform", "data", "web", "harvest", "export", "journal", "research", "shell",
              "win32"},
}
PROJECT_FOLDERS = set(ALLOWED) | {"app", "cli", "tests", "bench", "fuzz", "tools"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_HEADER = re.compile(r"^Q[A-Za-z]|^Qt[A-Za-z]*/")


def tracked_sources(root):
    try:
        out = subprocess.run(["git", "ls-files", "*.h", "*.cpp"], cwd=root, check=True,
                             capture_output=True, text=True).stdout
        return [root / line for line in out.splitlines() if line]
    except (OSError, subprocess.CalledProcessError):
        return sorted(p for p in root.rglob("*") if p.suffix in (".h", ".cpp")
                      and "build" not in p.relative_to(root).parts)


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    problems = []
    for path in tracked_sources(root):
        folder = path.relative_to(root).parts[0]
        if folder not in ALLOWED:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, header = match.groups()
            where = f"{path.relative_to(root)}:{number}"
            if kind == "<" and QT_HEADER.match(header):
                problems.append(f"{where}: Qt header <{header}> in the core folder {folder}/")
                continue
            top = header.split("/", 1)[0]
            if kind == '"' and "/" in header and top in PROJECT_FOLDERS and top not in ALLOWED[folder]:
                problems.append(f'{where}: {folder}/ includes "{header}" from {top}/, '
                                f"which is not below it")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"{len(problems)} include(s) against the layer order", file=sys.stderr)
        return 1
    print("layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
