#!/usr/bin/env python3
"""Checks the committed resources: the icons decode to the images Windows will
pick, the generator reproduces them exactly, and the version agrees everywhere.

    python3 scripts/check-icons.py     (exit status 1 on any failure)
"""

import runpy
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import types
import xml.etree.ElementTree as ET
import zlib

sys.dont_write_bytecode = True  # loading the generator must not litter scripts/
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
RESOURCES = os.path.join(ROOT, "resources")
sys.path.insert(0, os.path.join(ROOT, "scripts", "lib"))
import checks  # noqa: E402  (after the path it lives on)
from checks import check  # noqa: E402


def read(name, mode="rb"):
    with open(os.path.join(RESOURCES, name), mode) as f:
        return f.read()


def decode_png(data):
    """RGBA rows of an unfiltered 8-bit RGBA PNG, checking every chunk's CRC."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "PNG signature"
    pos, chunks = 8, {}
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack_from(">I", data, pos + 8 + length)
        assert zlib.crc32(kind + body) == crc, f"CRC of {kind}"
        chunks[kind] = chunks.get(kind, b"") + body
        pos += 12 + length
    width, height, depth, colour, _, _, _ = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    assert (depth, colour) == (8, 6), "8-bit RGBA"
    raw = zlib.decompress(chunks[b"IDAT"])
    stride = 1 + 4 * width
    assert len(raw) == height * stride and all(raw[y * stride] == 0 for y in range(height))
    return [[tuple(raw[y * stride + 1 + 4 * x:y * stride + 5 + 4 * x]) for x in range(width)]
            for y in range(height)]


def decode_bmp(data, size, bits):
    """RGBA rows of an icon's DIB; alpha comes from the AND mask."""
    header = struct.unpack_from("<IiiHHI", data)
    assert header == (40, size, 2 * size, 1, bits, 0), f"bitmap header {header}"
    table = [struct.unpack_from("BBB", data, 40 + 4 * i)[::-1] for i in range(1 << bits)]
    xor_stride = (size * bits + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor_at = 40 + 4 * len(table)
    and_at = xor_at + size * xor_stride
    assert len(data) == and_at + size * and_stride, "entry length"
    rows = []
    for y in range(size - 1, -1, -1):
        row = []
        for x in range(size):
            bit = x * bits
            index = (data[xor_at + y * xor_stride + bit // 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1)
            masked = data[and_at + y * and_stride + x // 8] >> (7 - x % 8) & 1
            # A masked pixel with a non-zero index would invert the screen behind it.
            assert not (masked and index), f"masked pixel ({x}, {size - 1 - y}) is not black"
            row.append(table[index] + (0 if masked else 255,))
        rows.append(row)
    return rows


def decode_icon(data):
    """[(size, bit count, colour count, RGBA rows)] in directory order."""
    reserved, kind, count = struct.unpack_from("<HHH", data)
    assert (reserved, kind) == (0, 1), "icon file header"
    images, end = [], 6 + 16 * count
    for i in range(count):
        w, h, colours, _, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        assert w == h and planes == 1 and offset == end, f"directory entry {i}"
        body = data[offset:offset + length]
        end += length
        rows = decode_png(body) if body[:4] == b"\x89PNG" else decode_bmp(body, w, bits)
        images.append((w, bits, colours, rows))
    assert end == len(data), "file length"
    return images


def check_icons():
    files = {name: read(name) for name in ("tabrin.ico", "tray.ico")}
    decoded = {name: decode_icon(data) for name, data in files.items()}
    check("tabrin.ico entries", [(48, 32, 0), (32, 8, 0), (16, 8, 0)],
          [image[:3] for image in decoded["tabrin.ico"]])
    # The 16-colour image first; then one for each small-icon size at 125, 150 and 200 per cent,
    # which the tray would otherwise stretch from 16 pixels.
    check("tray.ico entries", [(16, 4, 16), (20, 32, 0), (24, 32, 0), (32, 32, 0)],
          [image[:3] for image in decoded["tray.ico"]])

    for name, images in decoded.items():
        for size, _, _, rows in images:
            corners = {rows[y][x][3] for y in (0, size - 1) for x in (0, size - 1)}
            check(f"{name} {size}x{size} corners transparent", {0}, corners)
            check(f"{name} {size}x{size} centre opaque", 255, rows[size // 2][size // 2][3])
    # The tray icon is the same picture as the program's small icon, in fewer colours.
    check("tray icon matches the 16x16 program icon",
          decoded["tabrin.ico"][2][3], decoded["tray.ico"][0][3])
    shape = lambda rows, threshold: [[pixel[3] >= threshold for pixel in row] for row in rows]
    check("tray icon's 32x32 image has the 32x32 program icon's shape",
          shape(decoded["tabrin.ico"][1][3], 255), shape(decoded["tray.ico"][3][3], 128))

    # The generator's file name has a dash, so it is loaded by path rather than imported.
    generator = types.SimpleNamespace(**runpy.run_path(os.path.join(ROOT, "scripts", "make-icons.py")))
    for name, data in generator.build().items():
        check(f"{name} regenerates byte for byte", True, data == files[name])
    # A bad compressor would still regenerate identically; zlib is the judge.
    sample = bytes(range(256)) * 3 + bytes(300) + b"tabrin" * 50
    check("deflate round trip", sample, zlib.decompress(generator.deflate(sample)))


def version_from_header():
    header = read("version.h", "r")
    field = lambda name: re.search(rf"#define TABRIN_VERSION_{name}\s+(\S+)", header).group(1)
    return int(field("MAJOR")), int(field("MINOR")), field("SUFFIX").strip('"')


def check_manifest(major, minor):
    ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
          "ws2005": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
          "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings"}
    # A manifest that does not parse stops the program from starting at all.
    root = ET.fromstring(read("tabrin.manifest"))
    identity = root.find("v1:assemblyIdentity", ns)
    check("manifest version follows version.h", f"{major}.{minor}.0.0", identity.get("version"))
    settings = root.find("v3:application/v3:windowsSettings", ns)
    check("manifest DPI awareness",
          ("true/pm", "PerMonitorV2, PerMonitor"),
          (settings.findtext("ws2005:dpiAware", None, ns), settings.findtext("ws2016:dpiAwareness", None, ns)))


def compiled_resources(windres):
    """{(type, name): data} of resources/tabrin.rc as the resource compiler sees it."""
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "tabrin.res")
        subprocess.run([windres, os.path.join(RESOURCES, "tabrin.rc"), "-O", "res", "-o", out],
                       check=True, cwd=tmp)
        with open(out, "rb") as f:
            data = f.read()
    found, pos = [], 0
    while pos < len(data):
        size, header = struct.unpack_from("<II", data, pos)
        ids = struct.unpack_from("<HHHH", data, pos + 8)  # numeric type and name
        if ids[0] == 0xFFFF and ids[2] == 0xFFFF:
            found.append(((ids[1], ids[3]), data[pos + header:pos + header + size]))
        pos += (header + size + 3) & ~3
    return found


def check_resource_script(major, minor, suffix):
    windres = shutil.which("i686-w64-mingw32-windres") or shutil.which("windres")
    if not windres:
        print("SKIP resource script: no windres")
        return
    found = compiled_resources(windres)
    # Explorer shows the group that sorts first in the executable, so 101 must be the lowest.
    groups = sorted(name for (kind, name), _ in found if kind == 14)
    check("icon groups, 101 the program's own", [101, 102], groups)
    check("application manifest", True, ((24, 1) in [key for key, _ in found]))
    info = next(data for (kind, _), data in found if kind == 16)
    text = info.decode("utf-16-le", "replace")
    with open(os.path.join(ROOT, "LICENSE"), encoding="utf-8") as f:
        notice = next(line.strip() for line in f if line.startswith("Copyright"))
    expected = {"FileVersion": f"{major}.{minor} {suffix}", "ProductVersion": f"{major}.{minor} {suffix}",
                "LegalCopyright": notice}
    for key, wanted in expected.items():
        found_value = re.search(key + r"\x00+([^\x00]*)", text)
        check(f"VERSIONINFO {key}", wanted, found_value and found_value.group(1))
    fixed = struct.unpack_from("<IIII", info, info.find(struct.pack("<I", 0xFEEF04BD)) + 8)
    check("VERSIONINFO file version words", (major << 16 | minor, 0), fixed[:2])


def main():
    check_icons()
    major, minor, suffix = version_from_header()
    check_manifest(major, minor)
    check_resource_script(major, minor, suffix)
    sys.exit(1 if checks.failures else 0)


if __name__ == "__main__":
    main()
