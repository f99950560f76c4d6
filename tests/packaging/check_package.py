#!/usr/bin/env python3
"""Checks the Debian package that `cpack --preset package` wrote.

    check_package.py FACTS DEB

FACTS is packaging/facts.json of the package build. The checks: the file
name; the control fields, with a Depends that covers the package of every
shared library the two programs load directly; the contents, exactly the
installed tree's files with root ownership and Debian's modes; lintian with
no error and no warning; and the package unpacked into a scratch root passes
every check of an installed tree (check_installed.py), both programs'
--version among them.
"""
import json
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_installed  # noqa: E402  (beside this file)

run = check_installed.run


def control_fields(deb):
    info = run(["dpkg-deb", "--field", str(deb)]).stdout
    fields, key = {}, None
    for line in info.splitlines():
        if line.startswith(" ") and key:
            fields[key] += "\n" + line
        elif ":" in line:
            key, value = line.split(":", 1)
            fields[key] = value.strip()
    return fields


def owning_package(path):
    """The package that holds a library file, by its path or its link target,
    with or without /usr (Debian 12's merged /usr has both names)."""
    candidates = []
    for name in (str(path), str(Path(path).resolve())):
        candidates += [name, name.removeprefix("/usr") if name.startswith("/usr/") else "/usr" + name]
    for candidate in candidates:
        owner = run(["dpkg", "-S", candidate]).stdout
        if owner:
            return owner.split(":", 1)[0]
    return None


def needed_packages(deb, scratch):
    """The Debian packages of the shared libraries the programs load directly
    (their DT_NEEDED entries), found through the dynamic linker's cache."""
    root = Path(scratch) / "needed"
    subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
    cache = {}
    for line in run(["ldconfig", "-p"]).stdout.splitlines():
        match = re.match(r"\s+(\S+) \(libc6,x86-64[^)]*\) => (\S+)", line)
        if match:
            cache.setdefault(match.group(1), match.group(2))
    packages, problems = set(), []
    for program in sorted((root / "usr/bin").iterdir()):
        dynamic = run(["objdump", "-p", str(program)]).stdout
        for soname in re.findall(r"^\s+NEEDED\s+(\S+)", dynamic, re.M):
            path = cache.get(soname)
            owner = owning_package(path) if path else None
            if not owner:
                problems.append(f"{program.name} needs {soname}, which no package holds")
                continue
            packages.add(owner)
    return packages, problems


def check_control(checks, facts, deb, scratch):
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    want = f"{facts['package']}_{facts['version']}_{arch}.deb"
    checks.check(f"the file is {want}", [] if deb.name == want else [f"it is {deb.name}"])

    fields = control_fields(deb)
    problems = []
    for key, value in (("Package", facts["package"]), ("Version", facts["version"]),
                       ("Architecture", arch)):
        if fields.get(key) != value:
            problems.append(f"{key}: {fields.get(key)!r}, not {value!r}")
    for key in ("Section", "Priority", "Homepage", "Installed-Size"):
        if not fields.get(key):
            problems.append(f"no {key}")
    if not re.fullmatch(r"[^<>]+ <[^@<>\s]+@[^@<>\s]+>", fields.get("Maintainer", "")):
        problems.append(f"Maintainer {fields.get('Maintainer')!r} is not a name and an address")
    description = fields.get("Description", "").splitlines()
    if len(description) < 3:
        problems.append("the description has no extended text")
    checks.check("the control fields", problems)

    depends = {alternative.strip().split(" ")[0]
               for entry in fields.get("Depends", "").split(",")
               for alternative in entry.split("|") if alternative.strip()}
    needed, problems = needed_packages(deb, scratch)
    for package in sorted(needed):
        # A package is depended on by its name or by a virtual name it provides.
        provides = run(["dpkg-query", "-W", "-f=${Provides}", package]).stdout
        names = {package} | {p.strip().split(" ")[0] for p in provides.split(",") if p.strip()}
        if not names & depends:
            problems.append(f"Depends lacks {package}")
    checks.check(f"Depends covers the {len(needed)} packages of the libraries the programs load",
                 problems)
    print(f"     Depends: {fields.get('Depends')}")
    print(f"     Recommends: {fields.get('Recommends')}")


def check_contents(checks, facts, deb):
    listing = run(["dpkg-deb", "--contents", str(deb)]).stdout.splitlines()
    files, problems = set(), []
    for line in listing:
        mode, owner, _size, _date, _time, path = line.split(None, 5)
        path = path.removeprefix("./")
        if owner != "root/root":
            problems.append(f"{path} belongs to {owner}")
        if mode.startswith("d"):
            want = "drwxr-xr-x"
        else:
            files.add(path)
            want = "-rwxr-xr-x" if path.startswith("usr/bin/") else "-rw-r--r--"
        if mode != want:
            problems.append(f"{path} has mode {mode}, not {want}")
    expected = {f"usr/{f}" for f in check_installed.expected_files(facts)}
    problems += [f"missing: {f}" for f in sorted(expected - files)]
    problems += [f"not expected: {f}" for f in sorted(files - expected)]
    checks.check(f"the contents: the {len(expected)} files, owned by root, Debian's modes",
                 problems)


def check_lintian(checks, deb):
    result = run(["lintian", "--fail-on", "error,warning", "--display-info", "--pedantic",
                  str(deb)], timeout=300)
    tags = [line for line in result.stdout.splitlines() if re.match(r"[EWIPX]: ", line)]
    for tag in tags:
        print(f"     {tag}")
    problems = [] if result.returncode == 0 else [
        f"lintian exited with {result.returncode}" + ("" if tags else ": " + result.stderr)]
    checks.check(f"lintian: no error, no warning ({len(tags)} tags in all)", problems)


def main():
    if len(sys.argv) != 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    facts = json.loads(Path(sys.argv[1]).read_text(encoding="utf-8"))
    deb = Path(sys.argv[2]).resolve()
    started = time.monotonic()
    checks = check_installed.Checks()
    print(f"package: {deb.name}, {deb.stat().st_size} bytes")
    with tempfile.TemporaryDirectory(prefix="quorvel-deb-") as scratch:
        check_control(checks, facts, deb, scratch)
        check_contents(checks, facts, deb)
        check_lintian(checks, deb)
        root = Path(scratch) / "root"
        subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
        unpacked = check_installed.check_tree(facts, root / "usr")
    print(f"package: {checks.passed} passed, {checks.failed} failed "
          f"({time.monotonic() - started:.0f} s)")
    return 1 if checks.failed or unpacked else 0


if __name__ == "__main__":
    sys.exit(main())
