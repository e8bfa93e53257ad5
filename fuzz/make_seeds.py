#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (fuzz/corpus/TARGET/) from the bundled
sample and from content shaped like the tests'. Run after a build has made
demotool: python3 fuzz/make_seeds.py [BUILD_DIR]"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
OUT = os.path.join(ROOT, "fuzz", "corpus")
sys.path.insert(0, os.path.join(ROOT, "tests", "hostile"))
from make_corpus import compact_frames, compact_stack, zstd  # noqa: E402  (the hostile corpus's writer of the form)


def crlf(*lines):
    return "".join(l + "\r\n" for l in lines).encode("latin-1")


def tile_ref(t):
    return "".join(chr(43 + (t // 80 ** k) % 80) for k in (3, 2, 1, 0))


def tile_line(*tiles):
    return "$" + "".join(tile_ref(t) for t in tiles)


def stack_bytes(width, count):
    return bytes([width >> 8, width & 255]) + bytes(
        (t * 7 + x * 13) & 255 for t in range(count) for x in range(width * 3))


def marker():
    return bytes(range(0x21, 0x7F))


def put(target, name, data):
    folder = os.path.join(OUT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def u16(n):
    return bytes([n & 255, n >> 8])


# The build packs the sample compact; the seeds want its raw rows, so it is packed raw here.
with tempfile.TemporaryDirectory() as raw:
    subprocess.run([os.path.join(BUILD, "demotool"), "pack", os.path.join(ROOT, "samples", "storyboard.txt"),
                    "-o", raw], check=True, stdout=subprocess.DEVNULL)
    sample_flow = open(os.path.join(raw, "demoFlow.txt"), "rb").read()
    sample_stack = open(os.path.join(raw, "demoStack.rxs"), "rb").read()
storyboard = open(os.path.join(ROOT, "samples", "storyboard.txt"), "rb").read()

# Small content in the tests' shape: header keys, frames of every mode, actions, notes, splash.
small = crlf(
    "HelpOn", "TitleBarHeight 24", "CloseRightEdge 21", "WindowText \"Demo\"", "HomeFrame \"a\"",
    "WindowIconSm 1,1,2", "NotesFont \"System\"", "NotesFontSize 22", "NotesBackColor 200,255,200",
    "NotesTextColor 32,32,32", "CoverTaskBarOk", "ScreenFill 1", "WindowRoundingStyle=1",
    "InactiveUpperLeft 0,0", "InactiveWidHeight 2,2", "SplashText", "030", "040 Title", "020 line",
    "EndSplashText", "InactiveFrame", tile_line(1, 0, 1), "~a", tile_line(0, 1, 2),
    "  \"b\" LeftClick 0,0,3,2", "  \">\" Timer 31 -- 5,5", "  \"c\" KeyDown 39",
    "  IDC_HAND MouseOver 0,0,1,1", "  RXD_EXIT RightClick 0,0,9,9", "# 5,5", "note one", "note two",
    "~b", "!O 1,1,2,2", tile_line(2, 2, 2), "  RXD_PrevFrame ExitRect 0,0,1,1", "#=a", "~c",
    "!S 0,0,3,2", tile_line(0, 0, 0), "  \"a\" UpClick 0,0,2,2", "# -99", "StopReading", "~d",
    tile_line(3, 3, 3))
head = sample_flow[:4000]
sample_actions = b"".join(l + b"\n" for l in sample_flow.split(b"\r\n") if l.startswith(b"  "))

put("flow_reader", "sample", bytes([0x0B, 0x27, 1, 0, 0, 255, 0, 3]) + head)
put("flow_reader", "small", bytes([40, 0, 7, 10, 0, 200, 1, 5]) + small)
put("flow_reader", "line-ends", bytes([5, 0, 1, 0, 0, 255, 0, 2]) + b"ab\r\ncd\re\n\r\r\nlong line here\r")

put("settings", "sample", u16(800) + u16(600) + head)
put("settings", "small", u16(3) + u16(3) + small)

put("frame_index", "sample", u16(600) + sample_flow)
put("frame_index", "small", u16(3) + small)

put("frame_lines", "full", u16(64) + u16(3) + crlf(tile_line(0, 1, 2), "  \"a\" LeftClick 0,0,1,1"))
put("frame_lines", "overlay", u16(64) + u16(3) + crlf("!O 1,1,2,2", tile_line(2, 2, 2)))
put("frame_lines", "cutout", u16(800) + u16(600) + crlf("!S 10,20,300,400", tile_line(*range(0, 600))))
put("frame_lines", "sample", u16(800) + u16(600) + sample_flow[sample_flow.index(b"~home"):][6:][:3000])

put("stack", "small", bytes([8, 0, 4, 0, 1, 2, 3, 5, 6, 7, 1]) + stack_bytes(8, 30)[2:])
put("stack", "sample", bytes([63, 2, 15, 1, 2, 3, 4, 5, 6, 7, 8]) + sample_stack[:4000])

# Compact stacks: a flags byte and eight reads (tile position, count and columns), then the file.
put("compact", "small", bytes([0, 0, 3, 40, 1, 40, 9, 200, 7, 255, 0, 0, 0, 90, 0x2B, 120, 2]) +
    compact_stack(8, 30, 4, compact_frames(stack_bytes(8, 30)[2:], 8, 4)))
frames = compact_frames(stack_bytes(16, 40)[2:], 16, 8)
frames[1] = zstd(stack_bytes(16, 40)[2 + 3 * 16 * 8:2 + 3 * 16 * 16], declare=False)
put("compact", "damaged-block", bytes([1, 0, 7, 60, 0, 100, 3, 130, 0x18, 0, 0, 250, 1, 60, 1, 100, 0]) +
    compact_stack(16, 40, 8, frames))
with tempfile.TemporaryDirectory() as folder:
    subprocess.run([os.path.join(BUILD, "demotool"), "pack", os.path.join(ROOT, "samples", "storyboard.txt"),
                    "-o", folder, "--compact"], check=True, stdout=subprocess.DEVNULL)
    put("compact", "sample", bytes([2, 0, 7, 128, 15, 255, 1, 30, 0x38, 0, 7, 200, 3, 128, 0, 64, 7]) +
        open(os.path.join(folder, "demoStack.rxz"), "rb").read())
# Blocks of 9 MB: five of them overflow the cache, so reads going back evict and decode again.
put("compact", "evict", bytes([0, 10, 0, 60, 0, 110, 0, 160, 0, 10, 0, 210, 0, 60, 0, 250, 7]) +
    compact_stack(3000, 5 * 1024, 1024, compact_frames(bytes(9000 * 5 * 1024), 3000, 1024)))

put("actions", "sample", sample_actions)
put("actions", "small", b"".join(l + b"\n" for l in small.split(b"\r\n") if l.startswith(b"  ")))

put("notes", "small", u16(200) + bytes([40, 1]) + small)
put("notes", "sample", u16(800) + bytes([150, 0]) + sample_flow[:20000])

put("splash", "sample", bytes([1]) + head)
put("splash", "small", bytes([0]) + small)

program = b"\r\n" + b"%06d %06d %010d" % (3, 3, len(small)) + b"\r\n" + small + stack_bytes(3, 8)[2:]
put("package", "bundle", bytes([1]) + program)
sflow = sample_flow[:6000]
put("package", "sample", bytes([1]) + b"\r\n" + b"%06d %06d %010d" % (800, 600, len(sflow)) + b"\r\n" + sflow + sample_stack[2:2402])
zsmall = zstd(small)
put("package", "compact", bytes([3]) + b"\r\n%06d %06d %010d %010d\r\n" % (3, 3, len(small), len(zsmall)) + zsmall +
    compact_stack(3, 8, 4, compact_frames(stack_bytes(3, 8)[2:], 3, 4)))
put("package", "plain", bytes([0]) + b"MZ\x90\x00" + marker()[:50])


def png(width, height, colour, depth, rows, interlace=0):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    raw = b"".join(b"\0" + r for r in rows)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


put("png", "rgb", png(4, 3, 2, 8, [bytes(range(12))] * 3))
put("png", "gray", png(5, 2, 0, 8, [bytes(range(5))] * 2))
put("png", "rgba16", png(2, 2, 6, 16, [bytes(range(16))] * 2))
put("png", "gray-alpha", png(3, 2, 4, 8, [bytes(range(6))] * 2))
put("png", "interlaced", png(8, 8, 2, 8, [bytes(range(24))] * 8, 1))
palette = png(2, 2, 3, 8, [b"\0\1"] * 2)
plte = struct.pack(">I", 6) + b"PLTE" + b"\xff\0\0\0\xff\0" + struct.pack(">I", zlib.crc32(b"PLTE\xff\0\0\0\xff\0"))
put("png", "palette", palette[:33] + plte + palette[33:])

put("storyboard", "small", crlf("HelpOn", "InactiveFrame", "$@a.png", "~one", "$@a.png @cursor 2,2",
                                 "  \"two\" LeftClick 0,0,3,3", "# 1,1", "hello", "~two", "$@b.png",
                                 "  \">\" Timer 40 -- 1,1", "~three", "!O 1,1,4,4", "$@b.png", "~four",
                                 tile_line(0, 1, 2, 3, 4, 5)))
put("storyboard", "sample", storyboard.replace(b"screens/", b"").replace(b"idle.png", b"a.png")
    .replace(b"home.png", b"b.png").replace(b"inactive.png", b"d.png"))
put("storyboard", "sizes", crlf("~a", "$@a.png", "~b", "$@c.png", "~c", "$@d.png", "~d", "$@missing.png"))

put("player", "small", b"\x05a\r\n" + small.replace(tile_line(1, 0, 1).encode(), tile_line(1, 0, 1, 5, 6).encode()))
put("player", "timers", b"\x0f" + crlf("home", "~home", tile_line(*range(10)), "  \">\" KeyDown 0",
                                      "  \"next\" LeftClick 0,0,60,9", "# 5,5", "hello", "~next",
                                      tile_line(*range(10, 20)), "  \"home\" Timer 60 -- 10,10",
                                      "  IDC_HAND MouseOver 0,0,30,5", "#=home"))
put("player", "sample", b"\x33" + sample_flow[:12000].replace(b"\r\n~", b"\r\n~", 1))
print("seeds written to", OUT)
