#!/usr/bin/env python3
"""Checks the Windows installer that scripts/windows.sh made, under Wine.

    check_installer.py SETUP VERSION

In a scratch Wine prefix (and a scratch home, so Wine's desktop and menu
folders stay out of the real one): a silent install (/S) puts both programs,
the uninstaller, the Start-menu shortcut (and no desktop shortcut, which is
off unless ticked) and the uninstall key with its values in place; the
installed quorvel-cli.exe answers --version; the installer and both programs
carry the version resource and the icon with 16 to 256 px; a second install
over the first succeeds and writes the key afresh; a silent uninstall leaves
no program file, shortcut or key, and the user's data folder stays.
"""
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_installed  # noqa: E402  (beside this file)

run = check_installed.run
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
KEY_VALUES = ("DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "EstimatedSize",
              "UninstallString", "QuietUninstallString")
VERSION_KEYS = ("FileVersion", "ProductVersion", "ProductName", "FileDescription")


class Wine:
    def __init__(self, scratch):
        home = scratch / "home"
        home.mkdir()
        self.env = dict(os.environ, HOME=str(home), WINEPREFIX=str(scratch / "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=")
        self.env.pop("DISPLAY", None)

    def __call__(self, *args, timeout=180):
        return run(["wine", *args], env=self.env, timeout=timeout)

    def wait(self):
        """Waits for every process of the prefix (the uninstaller runs on as a copy of itself)."""
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=300)

    def folder(self, variable):
        """The Linux path of a Windows folder named by an environment variable."""
        windows = self("cmd", "/c", f"echo %{variable}%").stdout.strip()
        return Path(run(["winepath", "-u", windows], env=self.env).stdout.strip())

    def key_values(self):
        """The uninstall key's values, or None when there is no key."""
        result = self("reg", "query", UNINSTALL_KEY)
        if result.returncode != 0:
            return None
        return dict(re.findall(r"^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$", result.stdout, re.M))


def resource_problems(exe, scratch, version, icon="1"):
    """What is missing of the version resource and the icon of one program
    (the window's class loads icon 1; NSIS names the installer's 103)."""
    problems = []
    info = subprocess.run(["wrestool", "-x", "--raw", "--type=16", str(exe)], capture_output=True).stdout
    text = info.decode("utf-16-le", errors="replace")
    problems += [f"{exe.name}: no {key} in the version resource" for key in VERSION_KEYS
                 if key not in text]
    if version not in text:
        problems.append(f"{exe.name}: the version resource does not say {version}")
    icons = scratch / f"{exe.name}.ico"
    run(["wrestool", "-x", "--type=14", f"--name={icon}", "-o", str(icons), str(exe)])
    sizes = {int(w) for w in re.findall(r"--width=(\d+)", run(["icotool", "-l", str(icons)]).stdout)}
    if not {16, 256} <= sizes:
        problems.append(f"{exe.name}: the icon has the sizes {sorted(sizes)}, not 16 to 256")
    return problems


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    setup, version = Path(sys.argv[1]).resolve(), sys.argv[2]
    checks = check_installed.Checks()
    with tempfile.TemporaryDirectory(prefix="quorvel-installer-") as name:
        scratch = Path(name)
        wine = Wine(scratch)
        local = wine.folder("LOCALAPPDATA")
        programs_dir = local / "Programs" / "Quorvel"
        start_menu = wine.folder("APPDATA") / "Microsoft/Windows/Start Menu/Programs/Quorvel.lnk"
        desktop = wine.folder("USERPROFILE") / "Desktop" / "Quorvel.lnk"
        data = local / "Quorvel" / "quorvel.sqlite3"
        data.parent.mkdir(parents=True)
        data.write_bytes(b"the user's journal")
        files = ("quorvel.exe", "quorvel-cli.exe", "uninstall.exe")
        try:
            result = wine(str(setup), "/S")
            wine.wait()
            problems = [f"exit status {result.returncode}"] if result.returncode else []
            problems += [f"missing: {f}" for f in files if not (programs_dir / f).is_file()]
            problems += [] if start_menu.is_file() else [f"no Start-menu shortcut {start_menu}"]
            problems += [f"a desktop shortcut nobody asked for: {desktop}"] if desktop.exists() else []
            checks.check("a silent install puts the programs and the shortcut in place", problems)

            values = wine.key_values() or {}
            problems = [f"no {v} under {UNINSTALL_KEY}" for v in KEY_VALUES if not values.get(v)]
            if values.get("DisplayVersion") != version:
                problems.append(f"DisplayVersion is {values.get('DisplayVersion')!r}, not {version!r}")
            if not values.get("QuietUninstallString", "").endswith('uninstall.exe" /S'):
                problems.append(f"QuietUninstallString is {values.get('QuietUninstallString')!r}")
            checks.check("the uninstall key and its values", problems)

            result = wine(str(programs_dir / "quorvel-cli.exe"), "--version")
            checks.check("the installed quorvel-cli.exe --version", [] if result.stdout.strip() ==
                         f"quorvel-cli {version}" else [f"printed {result.stdout!r} {result.stderr!r}"])

            checks.check("the version resources and the icons", resource_problems(
                setup, scratch, version, icon="103") + [
                p for exe in (programs_dir / "quorvel.exe", programs_dir / "quorvel-cli.exe")
                for p in resource_problems(exe, scratch, version)])

            # An older version's key, replaced by the install over it.
            wine("reg", "add", UNINSTALL_KEY, "/v", "DisplayVersion", "/d", "0.0.1", "/f")
            result = wine(str(setup), "/S")
            wine.wait()
            values = wine.key_values() or {}
            problems = [f"exit status {result.returncode}"] if result.returncode else []
            problems += [f"missing: {f}" for f in files if not (programs_dir / f).is_file()]
            if values.get("DisplayVersion") != version:
                problems.append(f"DisplayVersion is {values.get('DisplayVersion')!r} after it")
            checks.check("a second install over the first", problems)

            # A desktop shortcut as the ticked option makes it, for the uninstaller to remove.
            desktop.parent.mkdir(parents=True, exist_ok=True)
            desktop.write_bytes(start_menu.read_bytes())
            result = wine(str(programs_dir / "uninstall.exe"), "/S")
            wine.wait()
            problems = [f"exit status {result.returncode}"] if result.returncode else []
            problems += [f"left behind: {p}" for p in (programs_dir, start_menu, desktop) if p.exists()]
            problems += [f"left behind: {UNINSTALL_KEY}"] if wine.key_values() is not None else []
            problems += [] if data.is_file() else [f"the user's data went: {data}"]
            checks.check("a silent uninstall removes everything but the user's data", problems)
        finally:
            subprocess.run(["wineserver", "-k"], env=wine.env, check=False)
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
