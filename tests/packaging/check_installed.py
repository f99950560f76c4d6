#!/usr/bin/env python3
"""Checks an installed Quorvel tree against what the build says it installs.

    check_installed.py FACTS PREFIX
    check_installed.py FACTS --install-from BUILD

FACTS is packaging/facts.json of a build. With --install-from, BUILD is first
installed (cmake --install) into a scratch prefix. The checks: exactly the
expected files; both programs answer --version with the build's version and
no display; the launcher and the AppStream metadata pass their validators and
name what is installed; the icons have the sizes their folders say; the manual
pages are clean roff, carry the version and describe every option the
programs' --help lists; the changelog and copyright are there; and, under a
virtual X display, the window's WM_CLASS is the launcher's StartupWMClass and
the window carries an icon.
"""
import argparse
import configparser
import gzip
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
from pathlib import Path

CLI_COMMANDS_HEADING = "Subcommands:"


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, problems):
        """Records one check; `problems` is a list of what is wrong (empty: passed)."""
        if problems:
            self.failed += 1
            print(f"FAIL {name}")
            for problem in problems:
                print(f"     {problem}")
        else:
            self.passed += 1
            print(f"ok   {name}")


def quiet_environment(home):
    """No display, the offscreen Qt platform, and a scratch home for anything written."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(QT_QPA_PLATFORM="offscreen", HOME=str(home), XDG_DATA_HOME=str(home / "data"),
               XDG_CONFIG_HOME=str(home / "config"), XDG_RUNTIME_DIR=str(home / "run"))
    (home / "run").mkdir(mode=0o700, exist_ok=True)
    return env


def run(command, env=None, timeout=60):
    try:
        return subprocess.run(command, env=env, capture_output=True, text=True, timeout=timeout)
    except (OSError, subprocess.TimeoutExpired) as error:
        return subprocess.CompletedProcess(command, 127, "", str(error))


def programs(facts):
    return ["quorvel", "quorvel-cli"] if facts["with_window"] else ["quorvel-cli"]


def expected_files(facts):
    app_id = facts["desktop_id"]
    files = {
        "bin/quorvel-cli",
        "share/man/man1/quorvel-cli.1.gz",
        "share/doc/quorvel/copyright",
        "share/doc/quorvel/changelog.gz",
    }
    if facts["with_window"]:
        files |= {
            "bin/quorvel",
            "share/man/man1/quorvel.1.gz",
            f"share/applications/{app_id}.desktop",
            f"share/metainfo/{app_id}.metainfo.xml",
            f"share/icons/hicolor/scalable/apps/{app_id}.svg",
        }
        files |= {f"share/icons/hicolor/{n}x{n}/apps/{app_id}.png" for n in facts["icon_sizes"]}
    return files


def check_files(checks, facts, prefix):
    found = {str(p.relative_to(prefix)) for p in prefix.rglob("*") if not p.is_dir()}
    expected = expected_files(facts)
    problems = [f"missing: {f}" for f in sorted(expected - found)]
    problems += [f"not expected: {f}" for f in sorted(found - expected)]
    checks.check(f"the {len(expected)} expected files, and no others", problems)


def check_versions(checks, facts, prefix, env):
    for program in programs(facts):
        result = run([str(prefix / "bin" / program), "--version"], env=env)
        want = f"{program} {facts['version']}\n"
        problems = []
        if result.returncode != 0:
            problems.append(f"exit status {result.returncode}: {result.stderr.strip()}")
        if result.stdout != want:
            problems.append(f"printed {result.stdout!r}, not {want!r}")
        checks.check(f"{program} --version without a display", problems)


def read_desktop_entry(path):
    parser = configparser.RawConfigParser(delimiters=("=",), interpolation=None)
    parser.optionxform = str  # keys are case-sensitive
    parser.read(path, encoding="utf-8")
    return parser["Desktop Entry"]


def check_desktop_file(checks, facts, prefix):
    path = prefix / "share/applications" / f"{facts['desktop_id']}.desktop"
    result = run(["desktop-file-validate", str(path)])
    problems = [] if result.returncode == 0 else [result.stdout + result.stderr]
    problems += [line for line in result.stdout.splitlines() if ": error:" in line]
    checks.check("desktop-file-validate passes on the launcher", problems)

    entry = read_desktop_entry(path)
    problems = []
    for key in ("Name", "Name[zh_CN]", "Comment", "Categories", "Keywords", "StartupWMClass"):
        if not entry.get(key):
            problems.append(f"no {key}")
    for key in ("Exec", "TryExec"):
        program = entry.get(key, "").split(" ")[0]
        if not (prefix / "bin" / program).is_file():
            problems.append(f"{key}={program}: no such installed program")
    if entry.get("Icon") != facts["desktop_id"]:
        problems.append(f"Icon={entry.get('Icon')}, not the launcher's id")
    checks.check("the launcher starts an installed program and names its icon", problems)
    return entry


def check_metainfo(checks, facts, prefix):
    path = prefix / "share/metainfo" / f"{facts['desktop_id']}.metainfo.xml"
    result = run(["appstreamcli", "validate", "--no-net", str(path)])
    checks.check("appstreamcli validate --no-net passes on the metadata",
                 [] if result.returncode == 0 else [result.stdout + result.stderr])

    root = ET.parse(path).getroot()
    problems = []
    if root.findtext("id") != facts["desktop_id"]:
        problems.append(f"id {root.findtext('id')}")
    if root.findtext("launchable[@type='desktop-id']") != f"{facts['desktop_id']}.desktop":
        problems.append("the launchable is not the installed launcher")
    releases = root.findall("releases/release")
    if not releases or releases[0].get("version") != facts["version"]:
        problems.append("the newest release is not this version")
    elif releases[0].get("date") != facts["release_date"]:
        problems.append(f"the release date is {releases[0].get('date')}")
    binaries = {b.text for b in root.findall("provides/binary")}
    if binaries != set(programs(facts)):
        problems.append(f"provides {sorted(binaries)}")
    image = root.findtext("screenshots/screenshot/image") or ""
    if not image.startswith("https://"):
        problems.append(f"screenshot {image!r}")
    if root.find("content_rating") is None:
        problems.append("no content rating")
    checks.check("the metadata names this version, the launcher and both programs", problems)


def png_size(path):
    header = path.read_bytes()[:24]
    if header[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", header[16:24])


def check_icons(checks, facts, prefix):
    app_id = facts["desktop_id"]
    problems = []
    for n in facts["icon_sizes"]:
        size = png_size(prefix / f"share/icons/hicolor/{n}x{n}/apps/{app_id}.png")
        if size != (n, n):
            problems.append(f"the {n}x{n} icon is {size}")
    svg = ET.parse(prefix / f"share/icons/hicolor/scalable/apps/{app_id}.svg").getroot()
    if svg.tag != "{http://www.w3.org/2000/svg}svg":
        problems.append(f"the scalable icon is a {svg.tag}")
    checks.check("each icon has the size its folder says", problems)


def long_options(text):
    return set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*)", text))


def described_options(source):
    """The long options that head an entry of a manual page's OPTIONS section
    (the macro lines there), with roff's escapes for '-' and fonts undone."""
    section = source.split("\n.SH OPTIONS", 1)[-1].split("\n.SH ", 1)[0]
    heads = "\n".join(line for line in section.splitlines() if line.startswith("."))
    return long_options(re.sub(r"\\f[BIRP]", "", heads.replace("\\-", "-")))


def help_texts(program, env):
    """The --help text of a program and of each of its commands."""
    top = run([str(program), "--help"], env=env).stdout
    texts = {"": top}
    if CLI_COMMANDS_HEADING in top:
        listing = top.split(CLI_COMMANDS_HEADING, 1)[1].split("\n\n", 1)[0]
        for line in listing.splitlines():
            if line.startswith("  ") and line.split():
                command = line.split()[0]
                texts[command] = run([str(program), command, "--help"], env=env).stdout
    return texts


def check_man_pages(checks, facts, prefix, env):
    for program in programs(facts):
        page = prefix / "share/man/man1" / f"{program}.1.gz"
        source = gzip.decompress(page.read_bytes()).decode("utf-8")
        # The warnings lintian reports (its manpage check runs this command).
        lint = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", str(page)],
                   env={**env, "LC_ALL": "C.UTF-8"})
        problems = [line for line in lint.stderr.splitlines() if line.strip()]
        title = next((line for line in source.splitlines() if line.startswith(".TH ")), "")
        if f'"{program} {facts["version"]}"' not in title:
            problems.append(f"the title line does not carry the version: {title}")
        described = described_options(source)
        for command, help_text in help_texts(prefix / "bin" / program, env).items():
            if not help_text:
                problems.append(f"{program} {command} --help printed nothing")
            if command and not re.search(rf"(?m)^\.B[IR]* {command}\b", source):
                problems.append(f"the command {command} is not described")
            for option in sorted(long_options(help_text) - described):
                problems.append(f"{option} ({program} {command} --help) is not described")
        checks.check(f"the manual page of {program}: clean, this version, every option", problems)


def check_documents(checks, facts, prefix):
    doc = prefix / "share/doc/quorvel"
    problems = []
    changelog = gzip.decompress((doc / "changelog.gz").read_bytes()).decode("utf-8")
    first = changelog.splitlines()[0] if changelog else ""
    if not first.startswith(f"{facts['package']} ({facts['version']}) "):
        problems.append(f"the changelog starts {first!r}")
    if "Copyright" not in (doc / "copyright").read_text(encoding="utf-8"):
        problems.append("the copyright file names no copyright")
    checks.check("the changelog names this version; the copyright file is there", problems)


def probe_window(program, home):
    """Run under a virtual X display: starts the window program and prints, as
    JSON, the WM_CLASS of its first shown top-level window and whether that
    window carries an icon."""
    env = {**os.environ, "HOME": str(home), "XDG_DATA_HOME": str(home / "data"),
           "XDG_CONFIG_HOME": str(home / "config"), "XDG_RUNTIME_DIR": str(home / "run"),
           "QTWEBENGINE_CHROMIUM_FLAGS": "--disable-gpu"}
    env.pop("QT_QPA_PLATFORM", None)
    with open(home / "window.log", "w") as log:
        process = subprocess.Popen([program], env=env, stdout=log, stderr=subprocess.STDOUT)
    found = {}
    try:
        deadline = time.monotonic() + 60
        while not found and time.monotonic() < deadline and process.poll() is None:
            time.sleep(0.5)
            tree = run(["xwininfo", "-root", "-children"]).stdout
            for window in re.findall(r"^\s+(0x[0-9a-f]+) ", tree, re.M):
                props = run(["xprop", "-id", window, "_NET_WM_PID", "WM_CLASS"]).stdout
                if f"_NET_WM_PID(CARDINAL) = {process.pid}" not in props:
                    continue
                if "IsViewable" not in run(["xwininfo", "-id", window]).stdout:
                    continue
                names = re.search(r'WM_CLASS\(STRING\) = "([^"]*)", "([^"]*)"', props)
                icon = run(["xprop", "-notype", "-id", window, "_NET_WM_ICON"]).stdout
                found = {"instance": names and names.group(1), "class": names and names.group(2),
                         "icon": "Icon (" in icon}
                break
    finally:
        process.terminate()
        try:
            process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    print(json.dumps(found or {"log": (home / "window.log").read_text(errors="replace")[-2000:]}))


def check_window(checks, facts, prefix, home, entry):
    if not shutil.which("xvfb-run") or not shutil.which("xwininfo"):
        checks.check("the window under X", ["xvfb-run and xwininfo (xvfb, x11-utils) are needed"])
        return
    result = run(["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", sys.executable, __file__,
                  "--probe-window", str(prefix / "bin/quorvel"), str(home)], timeout=120)
    try:
        found = json.loads(result.stdout.strip().splitlines()[-1])
    except (IndexError, json.JSONDecodeError):
        found = {"log": result.stdout + result.stderr}
    problems = []
    if "class" not in found:
        problems.append(f"no window was shown: {found.get('log', '')}")
    else:
        if found["class"] != entry["StartupWMClass"]:
            problems.append(f"WM_CLASS class {found['class']!r}, StartupWMClass "
                            f"{entry['StartupWMClass']!r}")
        if not found["icon"]:
            problems.append("the window has no _NET_WM_ICON")
    checks.check("the window's WM_CLASS is the launcher's StartupWMClass; it has an icon",
                 problems)


def check_tree(facts, prefix):
    checks = Checks()
    with tempfile.TemporaryDirectory(prefix="quorvel-home-") as scratch:
        home = Path(scratch)
        env = quiet_environment(home)
        check_files(checks, facts, prefix)
        check_versions(checks, facts, prefix, env)
        check_man_pages(checks, facts, prefix, env)
        check_documents(checks, facts, prefix)
        if facts["with_window"]:
            entry = check_desktop_file(checks, facts, prefix)
            check_metainfo(checks, facts, prefix)
            check_icons(checks, facts, prefix)
            check_window(checks, facts, prefix, home, entry)
    print(f"installed tree: {checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--probe-window":
        probe_window(sys.argv[2], Path(sys.argv[3]))
        return 0
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("facts", type=Path)
    parser.add_argument("prefix", type=Path, nargs="?")
    parser.add_argument("--install-from", type=Path, metavar="BUILD")
    args = parser.parse_args()
    facts = json.loads(args.facts.read_text(encoding="utf-8"))
    if args.install_from:
        with tempfile.TemporaryDirectory(prefix="quorvel-install-") as prefix:
            installed = run(["cmake", "--install", str(args.install_from), "--prefix", prefix],
                            timeout=300)
            if installed.returncode != 0:
                print(installed.stdout + installed.stderr)
                return 1
            return check_tree(facts, Path(prefix))
    if not args.prefix:
        parser.error("give PREFIX or --install-from BUILD")
    return check_tree(facts, args.prefix)


if __name__ == "__main__":
    sys.exit(main())
