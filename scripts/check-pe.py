#!/usr/bin/env python3
"""Checks what Windows reads from a built tabrin.exe before running a line of it: the
manifest's processor architectures, and the header flags that keep ASLR and DEP on.

    python3 scripts/check-pe.py NAME EXE    (one PASS or FAIL line per check; exit 1 on any FAIL)

Windows refuses to start a program whose manifest names another architecture than its own,
for the program or a dependency ("side-by-side configuration is incorrect"); Wine does not.
"""

import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import checks  # noqa: E402  (after the path it lives on)
from checks import check  # noqa: E402

MACHINES = {0x014C: "x86", 0x8664: "amd64"}
RT_MANIFEST = 24
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x0020, 0x0040, 0x0100


class Image:
    def __init__(self, data):
        self.data = data
        pe, = struct.unpack_from("<I", data, 0x3C)
        assert data[pe:pe + 4] == b"PE\0\0", "PE signature"
        self.machine, sections, _, _, _, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic, = struct.unpack_from("<H", data, optional)
        self.pe32_plus = magic == 0x20B
        self.dll_characteristics, = struct.unpack_from("<H", data, optional + 70)
        directories = optional + (112 if self.pe32_plus else 96)
        resource_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        for i in range(sections):
            _, size, rva, raw_size, raw_at = struct.unpack_from(
                "<8sIIII", data, optional + optional_size + 40 * i)
            self.sections.append((rva, max(size, raw_size), raw_at))
        self.resource_root = self.at(resource_rva) if resource_rva else None

    def at(self, rva):
        for start, size, raw_at in self.sections:
            if start <= rva < start + size:
                return raw_at + rva - start
        raise ValueError(f"RVA {rva:#x} in no section")

    def entries(self, directory):
        """(identifier, offset from the resource root) of each entry of one directory."""
        at = self.resource_root + directory
        named, numbered = struct.unpack_from("<HH", self.data, at + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
            yield name, target & 0x7FFFFFFF

    def resources(self, kind):
        """The bytes of every resource of one type, whatever its name and language."""
        found = []
        if self.resource_root is None:
            return found
        for ident, names in self.entries(0):
            if ident != kind:
                continue
            for _, languages in self.entries(names):
                for _, leaf in self.entries(languages):
                    rva, size = struct.unpack_from("<II", self.data, self.resource_root + leaf)
                    found.append(self.data[self.at(rva):self.at(rva) + size])
        return found


def main(name, exe):
    with open(exe, "rb") as f:
        image = Image(f.read())
    own = MACHINES.get(image.machine, f"machine {image.machine:#x}")

    manifests = image.resources(RT_MANIFEST)
    architectures = [m.decode() for text in manifests
                     for m in re.findall(rb'processorArchitecture\s*=\s*["\']([^"\']*)["\']', text)]
    # The program's own identity and Common Controls each name one.
    expected = f"one manifest naming '*' or {own} for the program and Common Controls"
    sound = len(manifests) == 1 and len(architectures) >= 2 and \
        all(a in ("*", own) for a in architectures)
    check(f"{name}.manifest_architecture", expected,
          expected if sound else f"{len(manifests)} manifest(s) naming {architectures}")

    wanted = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if image.pe32_plus else 0)
    missing = [flag for flag, bit in (("DYNAMIC_BASE", DYNAMIC_BASE), ("NX_COMPAT", NX_COMPAT),
                                      ("HIGH_ENTROPY_VA", HIGH_ENTROPY_VA))
               if wanted & bit and not image.dll_characteristics & bit]
    # Without its relocations the image cannot move, whatever DYNAMIC_BASE says.
    if image.characteristics & IMAGE_FILE_RELOCS_STRIPPED:
        missing.append("relocations (stripped)")
    check(f"{name}.aslr_dep", "no flag missing", f"missing {', '.join(missing)}" if missing
          else "no flag missing")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
