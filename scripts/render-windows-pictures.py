#!/usr/bin/env python3
"""Renders the window's 16 x 16 pictures, as FrmManage/qt/Pictures.cpp draws them for Qt, into the
icon files the Windows build links as resources (FrmManage/win32/pictures/). Run it again
after a picture there changes; the files it writes are committed."""
import re
import struct
import sys
from pathlib import Path

root = Path(__file__).resolve().parent.parent
source = (root / "FrmManage/qt/Pictures.cpp").read_text()
out = root / "FrmManage/win32/pictures"

# Picture array in Pictures.cpp -> icon file; the key's background is its bottom-left colour.
pictures = {
    "kDriveXpm": ("drive.ico", False),
    "kFolderXpm": ("folder.ico", False),
    "kPadlockXpm": ("padlock.ico", False),
    "kKeyXpm": ("key.ico", True),
    "kWindowIconXpm": ("window.ico", False),
}


def xpm(name):
    body = re.search(name + r"\[\] = \{(.*?)\};", source, re.S).group(1)
    lines = re.findall(r'"([^"]*)"', body)
    width, height, colours, _ = map(int, lines[0].split())
    palette = {}
    for line in lines[1 : 1 + colours]:
        key, value = line[0], line[1:].split()[1]
        palette[key] = None if value == "None" else tuple(int(value[i : i + 2], 16) for i in (1, 3, 5))
    rows = lines[1 + colours : 1 + colours + height]
    assert width == 16 and height == 16 and all(len(r) == 16 for r in rows), name
    return [[palette[c] for c in row] for row in rows]


def icon(pixels):
    colour = b""
    mask = b""
    for row in reversed(pixels):  # bottom-up
        bits = 0
        for x, rgb in enumerate(row):
            if rgb is None:
                colour += b"\0\0\0\0"
                bits |= 0x8000 >> x
            else:
                colour += bytes((rgb[2], rgb[1], rgb[0], 0xFF))
        mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(image), 22) + image


for name, (file, background_from_corner) in pictures.items():
    pixels = xpm(name)
    if background_from_corner:
        background = pixels[-1][0]
        pixels = [[None if p == background else p for p in row] for row in pixels]
    (out / file).write_bytes(icon(pixels))
print("wrote", ", ".join(f for f, _ in pictures.values()), "in", out.relative_to(root), file=sys.stderr)
