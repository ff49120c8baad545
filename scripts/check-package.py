#!/usr/bin/env python3
"""Checks scripts/package: what the release archive holds, that a second run from another
folder over the first archive gives the same bytes, and that a failing build fails loudly and
leaves no archive behind.

    python3 scripts/check-package.py     (exit status 1 on any failure)
"""

import os
import runpy
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import types
import zipfile

sys.dont_write_bytecode = True
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "scripts", "lib"))
import checks  # noqa: E402  (after the path it lives on)
from checks import check  # noqa: E402


def run_package(root, cwd):
    return subprocess.run([os.path.join(root, "scripts", "package")], cwd=cwd,
                          capture_output=True, text=True)


def windows_text(path):
    with open(path, "rb") as f:
        return f.read().replace(b"\n", b"\r\n")


def pe_facts(exe):
    """(machine, optional header magic, subsystem) of a PE file."""
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    if exe[:2] != b"MZ" or exe[pe:pe + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", exe, pe + 4)[0]
    magic, = struct.unpack_from("<H", exe, pe + 24)
    subsystem, = struct.unpack_from("<H", exe, pe + 24 + 68)
    return machine, magic, subsystem


def version_info_text(exe, key):
    """A StringFileInfo value of the executable's VERSIONINFO, or None."""
    tag = (key + "\0").encode("utf-16-le")
    at = exe.find(tag)
    if at < 0:
        return None
    at += len(tag)
    at += (-at) % 4  # values start on a 32-bit boundary
    end = at
    while exe[end:end + 2] != b"\0\0":
        end += 2
    return exe[at:end].decode("utf-16-le")


def check_archive(data, version_text):
    with tempfile.TemporaryFile() as f:
        f.write(data)
        f.seek(0)
        with zipfile.ZipFile(f) as z:
            check("package.intact", None, z.testzip())
            infos = z.infolist()
            check("package.entries", ["tabrin.exe", "LICENSE", "README.txt"],
                  [i.filename for i in infos])
            contents = {i.filename: z.read(i) for i in infos}
    try:
        stamp = int(subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT,
                                   capture_output=True, text=True, check=True).stdout)
    except (subprocess.CalledProcessError, ValueError):
        stamp = 315532800
    # Zip keeps even seconds only.
    expected_date = tuple(time.gmtime(stamp)[:5]) + (time.gmtime(stamp)[5] & ~1,)
    check("package.dates", [expected_date] * len(infos), [i.date_time for i in infos])

    check("package.license", windows_text(os.path.join(ROOT, "LICENSE")), contents.get("LICENSE"))
    check("package.readme", windows_text(os.path.join(ROOT, "docs", "README.txt")),
          contents.get("README.txt"))
    bare_lf = [name for name in ("LICENSE", "README.txt")
               if contents.get(name, b"").count(b"\n") != contents.get(name, b"").count(b"\r\n")]
    check("package.crlf", [], bare_lf)

    exe = contents.get("tabrin.exe", b"")
    # i386, PE32, the GUI subsystem.
    check("package.exe_format", (0x14C, 0x10B, 2), pe_facts(exe) if len(exe) > 0x200 else None)
    check("package.exe_version", version_text, version_info_text(exe, "FileVersion"))


def check_failed_build(version_name):
    """A copy of the tree with a source that does not compile, and an old archive in dist/."""
    with tempfile.TemporaryDirectory() as tmp:
        tree = os.path.join(tmp, "tree")
        files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                               cwd=ROOT, capture_output=True,
                               check=True).stdout.decode().split("\0")
        for name in filter(None, files):
            if os.path.isfile(os.path.join(ROOT, name)):
                os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
                shutil.copy2(os.path.join(ROOT, name), os.path.join(tree, name))
        with open(os.path.join(tree, "app", "shell.cpp"), "a") as f:
            f.write("\nthis does not compile\n")
        old = os.path.join(tree, "dist", version_name)
        os.makedirs(os.path.dirname(old))
        with open(old, "wb") as f:
            f.write(b"an archive of an older tree")
        result = run_package(tree, tmp)
        lines = result.stderr.splitlines()
        check("package.failed_build",
              (True, 1, "package: the build failed (see build/package.log)", False),
              (result.returncode != 0, len(lines), lines[0] if lines else None, os.path.exists(old)))


def main():
    icons = types.SimpleNamespace(**runpy.run_path(os.path.join(ROOT, "scripts", "check-icons.py")))
    major, minor, suffix = icons.version_from_header()
    version_text = f"{major}.{minor} {suffix}".strip()
    name = f"tabrin-{version_text.replace(' ', '-')}-win32.zip"
    archive = os.path.join(ROOT, "dist", name)

    first = run_package(ROOT, ROOT)
    check("package.build", (0, archive), (first.returncode, first.stdout.strip()))
    if first.returncode != 0:
        print(first.stderr, end="")
        sys.exit(1)
    with open(archive, "rb") as f:
        first_bytes = f.read()
    check_archive(first_bytes, version_text)

    # Again from another folder, over the first archive and a half-written one.
    with open(archive + ".partial", "wb") as f:
        f.write(b"left by an interrupted run")
    with tempfile.TemporaryDirectory() as elsewhere:
        second = run_package(ROOT, elsewhere)
    with open(archive, "rb") as f:
        second_bytes = f.read()
    check("package.reproducible", (0, True, False),
          (second.returncode, first_bytes == second_bytes, os.path.exists(archive + ".partial")))

    check_failed_build(name)
    sys.exit(1 if checks.failures else 0)


if __name__ == "__main__":
    try:
        main()
    except Exception as error:  # a crash of the checker must still count as a failure
        print(f"FAIL package.checker: expected the checks to run, saw {error!r}")
        sys.exit(1)
