#!/usr/bin/env python3
"""Writes the hostile corpus: base/ (a small sound demo and a screenshot) and
the hostile files beside this script. Deterministic: the same bytes every run.
What each file must do is written by hand in expect.txt."""
import gzip
import os
import random
import struct
import subprocess
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W, H, TILES = 40, 30, 100
MARKER = bytes(range(0x21, 0x7F))
rng = random.Random(20240908)


def ref(t):
    out = []
    for _ in range(4):
        out.append(43 + t % 80)
        t //= 80
    return bytes(reversed(out))


def tile_line(tiles):
    return b"$" + b"".join(ref(t) for t in tiles)


def frame_tiles(f):
    return tile_line(range(f * H, f * H + H))


def crlf(*lines):
    return b"".join(l + b"\r\n" for l in lines)


def stack_data(width=W, count=TILES):
    return b"".join(bytes((t * 7 + x * 3 + c * 11) & 0xFF for x in range(width) for c in range(3))
                    for t in range(count))


def stack_file(width=W, count=TILES):
    return struct.pack(">H", width) + stack_data(width, count)


HEADER = [b'WindowText "Hostile base"', b"HelpOn", b"SplashText", b" 30 Hostile base", b"EndSplashText"]
FRAME_A = [b"~a", frame_tiles(0), b'  "b" LeftClick 0,0,39,29', b'  ">" KeyDown 0', b"#", b"Notes for a"]
FRAME_B = [b"~b", frame_tiles(1), b'  "c" LeftClick 0,0,19,29', b'  "a" KeyDown 65', b"# 2,2", b"Notes for b"]
FRAME_C = [b"~c", b"!O 5,5,20,20", frame_tiles(2), b"  RXD_PrevFrame LeftClick 0,0,39,29", b"#"]


def flow(header=None, frames=None, tail=b""):
    lines = list(HEADER if header is None else header)
    for f in (frames if frames is not None else [FRAME_A, FRAME_B, FRAME_C]):
        lines += f
    return crlf(*lines) + tail + b"\r\n"


BASE_FLOW = flow()
BASE_STACK = stack_file()


def png(width, height, pixel=lambda x, y: (x * 5 & 255, y * 7 & 255, 90), colour=2, depth=8,
        raw_rows=None, interlace=0, palette=None):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    if raw_rows is None:
        raw = b""
        for y in range(height):
            raw += b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))
    else:
        raw = raw_rows
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
    if palette:
        out += chunk(b"PLTE", palette)
    return out + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def zstd(data, declare=True):
    """One zstd frame made by the zstd tool, declaring its size unless told not to."""
    size = ["--stream-size=%d" % len(data)] if declare else []
    return subprocess.run(["zstd", "-q", "-c", "--no-check"] + size, input=data, check=True,
                          stdout=subprocess.PIPE).stdout


def zstd_declaring(data, declared):
    """A frame of `data` whose header declares `declared` bytes instead."""
    frame = bytearray(zstd(data))
    fhd = frame[4]
    single, fcs = fhd >> 5 & 1, fhd >> 6
    at = 5 + (0 if single else 1) + (0, 1, 2, 4)[fhd & 3]
    size = (1 if single else 0, 2, 4, 8)[fcs]
    assert size > 1 and declared >= 256
    frame[at:at + size] = (declared - (256 if size == 2 else 0)).to_bytes(size, "little")
    return bytes(frame)


def compact_frames(raw, width, per_block):
    step = 3 * width * per_block
    return [zstd(raw[i:i + step]) for i in range(0, len(raw), step)]


def compact_stack(width, tiles, per_block, frames, offsets=None):
    """The compact form: magic, counts, block offsets (computed unless given), blocks."""
    if offsets is None:
        offsets = [24 + 8 * (len(frames) + 1)]
        for f in frames:
            offsets.append(offsets[-1] + len(f))
    return (b"DemoRXZ1" + struct.pack("<4I", width, tiles, per_block, len(frames)) +
            struct.pack("<%dQ" % len(offsets), *offsets) + b"".join(frames))


SCREEN = png(W, H)
files = {}


def put(name, data):
    assert name not in files, name
    files[name] = data


def noise(n, source=rng):
    return bytes(source.getrandbits(8) for _ in range(n))


def noise_without(n, banned):
    return bytes(b for b in noise(n * 2) if b not in banned)[:n]


N50 = b"9" * 50
LONG = 100000

# ---- flow: demoFlow.txt beside the base stack ----
put("flow-empty.txt", b"")
put("flow-one-byte.txt", b"~")
put("flow-crlf-only.txt", b"\r\n" * 20)
put("flow-cut-in-first-tile-line.txt", BASE_FLOW[:BASE_FLOW.index(b"\r\n$") + 60])
put("flow-cut-after-name.txt", BASE_FLOW[:BASE_FLOW.index(b"~b\r\n") + 4])
put("flow-cut-in-name.txt", BASE_FLOW[:BASE_FLOW.index(b"~b\r\n") + 2])
put("flow-cut-in-second-tile-line.txt", BASE_FLOW[:BASE_FLOW.index(b"~b\r\n") + 20])
put("flow-cut-in-action.txt", BASE_FLOW[:BASE_FLOW.index(b'"c" LeftClick') + 8])
put("flow-noise-no-line-end.txt", b"x" + noise_without(4000, b"\n"))
put("flow-noise-lines.txt", noise(6000))
put("flow-noise-after-tile-line.txt", crlf(b"~a", frame_tiles(0)) + noise(8000))
put("flow-noise-in-records.txt", crlf(*HEADER, b"~a", frame_tiles(0), noise_without(300, b"\r\n"),
                                      b"~b", frame_tiles(1), noise_without(300, b"\r\n"), b"#",
                                      noise_without(500, b"\r\n")) + b"\r\n")
put("flow-nul-bytes.txt", flow(frames=[[b"~a\0x", frame_tiles(0), b'  "b\0" LeftClick 0,0,39,29', b"#", b"\0\0\0"],
                                       [b"~b", frame_tiles(1), b'  "a" KeyDown\0 0', b"# 1\0,2", b"n\0otes"]]))
put("flow-high-bytes.txt", flow(frames=[[b"~a\xff\xfe", frame_tiles(0), b'  "b" LeftClick \xff0,0,39,29', b"#", b"\x80\x90\xff" * 50],
                                        [b"~b", frame_tiles(1), b"  \xff\xff\xff\xff\xff\xff\xff\xff\xff", b"# \xff,\xff", b"\xc3\xa9t\xc3\xa9"]]))
put("flow-cr-only-line-ends.txt", flow().replace(b"\r\n", b"\r"))
put("flow-lf-only-line-ends.txt", flow().replace(b"\r\n", b"\n"))
put("flow-line-100k-name.txt", flow(frames=[FRAME_A, [b"~" + b"n" * LONG, frame_tiles(1)], FRAME_B]))
put("flow-line-100k-first-tile-line.txt", crlf(b"~a", b"$" + b"+" * LONG, b"~b", frame_tiles(1)) + b"\r\n")
put("flow-line-100k-later-tile-line.txt", flow(frames=[FRAME_A, [b"~b", b"$" + b"+" * LONG, b"#"], FRAME_C]))
put("flow-line-100k-action.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b'  "a" LeftClick ' + b"1," * (LONG // 2)], FRAME_C]))
put("flow-line-100k-action-names.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b'  "' + b"a" * LONG + b'" LeftClick 0,0,9,9'], FRAME_C]))
put("flow-line-100k-notes.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"#", b"w" * LONG, b"W " * (LONG // 2)], FRAME_C]))
put("flow-line-100k-notes-place.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"# " + b"7" * LONG + b"," + b"8" * LONG, b"n"], FRAME_C]))
put("flow-line-100k-mode.txt", flow(frames=[FRAME_A, [b"~b", b"!O " + b"5," * (LONG // 2), frame_tiles(1)], FRAME_C]))
put("flow-line-100k-header.txt", flow(header=[b'WindowText "' + b"t" * LONG + b'"', b'HomeFrame "' + b"h" * LONG, b"x" * LONG, b"HelpOn"]))
put("flow-50-digit-mode.txt", flow(frames=[FRAME_A, [b"~b", b"!O " + b",".join([N50] * 4), frame_tiles(1)],
                                           [b"~c", b"!S " + b",".join([N50] * 4), frame_tiles(2)]]))
put("flow-50-digit-actions.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b'  "c" LeftClick ' + b",".join([N50] * 4),
                                                        b'  "a" MouseOver 0,0,' + N50 + b"," + N50, b'  "c" KeyDown ' + N50,
                                                        b'  "a" Timer ' + N50, b'  "a" ExitRect ' + N50 + b",0,0,0"], FRAME_C]))
put("flow-50-digit-notes-place.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"# " + N50 + b"," + N50, b"far"],
                                                  [b"~c", frame_tiles(2), b"# -" + N50 + b",-" + N50, b"negative far"]]))
put("flow-50-digit-settings.txt", flow(header=[b"TitleBarHeight " + N50, b"CloseRightEdge " + N50, b"InactiveUpperLeft " + N50 + b"," + N50,
                                               b"InactiveWidHeight " + N50 + b"," + N50, b"NotesFontSize=" + N50, b"WindowIconSm " + N50,
                                               b"ScreenFill=" + N50, b"WindowRoundingStyle=" + N50, b"InactiveFrame", frame_tiles(3)]))
put("flow-name-200.txt", flow(frames=[FRAME_A, [b"~" + b"N" * 200, frame_tiles(1), b'  "' + b"N" * 200 + b'" LeftClick 0,0,39,29', b"#=" + b"N" * 200],
                                      [b"~b", frame_tiles(2), b'  "' + b"N" * 200 + b'" KeyDown 0', b'  "' + b"N" * 48 + b'" LeftClick 0,0,39,29', b"#=" + b"N" * 48]]))
put("flow-name-200-home.txt", flow(header=[b'HomeFrame "' + b"H" * 200 + b'"', b'WindowText "' + b"T" * 200 + b'"', b'NotesFont "' + b"F" * 200 + b'"']))
put("flow-100-actions.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1)] + [b'  "c" LeftClick %d,%d,%d,%d' % (i, i, i + 5, i + 5) for i in range(100)] + [b"#"], FRAME_C]))
put("flow-100-timers.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1)] + [b'  "b" Timer %d' % (100000 + i) for i in range(100)] + [b"#"], FRAME_C]))
put("flow-1000-notes-lines.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"#"] + [b"line %d of the notes" % i for i in range(1000)], FRAME_C]))
put("flow-1000-wide-notes-lines.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"# 0,0"] + [b"M" * 600 for _ in range(1000)], FRAME_C]))
put("flow-notes-references.txt", flow(frames=[[b"~a", frame_tiles(0), b"#=b"], [b"~b", frame_tiles(1), b"#=a"],
                                              [b"~c", frame_tiles(2), b"#=c"], [b"~d", frame_tiles(3), b"#=nothing"],
                                              [b"~e", frame_tiles(0), b"#="]]))
put("flow-notes-odd-places.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"# ,", b"x"], [b"~c", frame_tiles(2), b"# -5000,-5000", b"y"],
                                              [b"~d", frame_tiles(2), b"#,,,,", b"z"], [b"~e", frame_tiles(2), b"# 0,99999", b"\t\x01\x02"]]))
put("flow-notes-start-frames.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"#", b"~c", b"~", b"~~"], FRAME_C]))
put("flow-rects-far-outside.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b'  "c" LeftClick 999999,999999,999999999,999999999',
                                                         b'  "c" MouseOver 5000,0,6000,29', b'  "a" ExitRect 0,0,999999999,999999999'],
                                               [b"~c", b"!O 5000,5000,6000,6000", frame_tiles(2), b'  "d" LeftClick 0,0,39,29'],
                                               [b"~d", b"!S 5000,5000,6000,6000", frame_tiles(3), b'  "e" KeyDown 0'],
                                               [b"~e", b"!S 0,0,999999999,999999999", frame_tiles(0), b'  "f" KeyDown 0'],
                                               [b"~f", b"!S 30,30,5,5", frame_tiles(1), b'  "b" KeyDown 0']]))
put("flow-glide-far.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b'  "c" LeftClick 999999999,999999999,999999999,999999999'], FRAME_C]))
put("flow-cutout-fill-screen.txt", flow(header=[b"ScreenFill=1", b"WindowRoundingStyle=1", b"HelpOn"],
                                        frames=[FRAME_A, [b"~b", b"!S 2000,1,3000,2", frame_tiles(1), b'  "c" KeyDown 0'],
                                                [b"~c", b"!S 0,0,0,0", frame_tiles(2), b'  "a" KeyDown 0']]))
put("flow-tiles-past-stack.txt", flow(frames=[FRAME_A, [b"~b", tile_line([TILES + i for i in range(H)])],
                                              [b"~c", b"$" + b"zzzz" * H], [b"~d", b"!O 0,0,39,29", tile_line([99, 100, 40959999] * 10)]]))
put("flow-tiles-bad-characters.txt", flow(frames=[FRAME_A, [b"~b", b"$" + b"\x01\x7f\xff " * H], [b"~c", b"$" + b"    " * H],
                                                  [b"~d", b"$" + b"++\r+" * 3]]))
put("flow-tile-lines-short.txt", flow(frames=[FRAME_A, [b"~b", b"$"], [b"~c", b"$++"], [b"~d", b"!O 0,0,39,29", b"$+++++++"]]))
put("flow-tile-line-longer-than-frame.txt", flow(frames=[FRAME_A, [b"~b", tile_line(list(range(TILES)) * 24)]]))
put("flow-first-tile-line-2401-rows.txt", crlf(b"~a", tile_line([0] * 2401), b"~b", frame_tiles(1)) + b"\r\n")
put("flow-first-tile-line-empty.txt", crlf(b"~a", b"$", b"~b", frame_tiles(1)) + b"\r\n")
put("flow-mode-lines-odd.txt", flow(frames=[FRAME_A, [b"~b", b"!", frame_tiles(1)], [b"~c", b"!S", frame_tiles(2)],
                                            [b"~d", b"!Q 1,2,3,4", frame_tiles(3)], [b"~e", b"!O ,,,", frame_tiles(0)],
                                            [b"~f", b"!F 9,9,9,9", frame_tiles(1)], [b"~g", b"!O\x00\x00", frame_tiles(2)]]))
put("flow-mode-without-tile-line.txt", flow(frames=[FRAME_A, [b"~b", b"!O 1,1,2,2", b"!O 1,1,2,2", frame_tiles(1)], FRAME_C]))
put("flow-missing-tile-line.txt", flow(frames=[FRAME_A, [b"~b", b"x" + frame_tiles(1), b"#"], FRAME_C]))
put("flow-inactive-without-tile-line.txt", flow(header=[b"InactiveFrame", b"x" + frame_tiles(3)]))
INACTIVE_HOSTILE = [b"InactiveUpperLeft " + N50 + b",5", b"InactiveWidHeight 999999,999999", b"InactiveFrame", tile_line([TILES + 5] * H)]
put("flow-inactive-hostile.txt", flow(header=INACTIVE_HOSTILE))
put("flow-inactive-far-rect.txt", flow(header=[b"InactiveUpperLeft 5000,5000", b"InactiveWidHeight 10,10", b"InactiveFrame", frame_tiles(3)]))
put("flow-inactive-twice-empty.txt", flow(header=[b"InactiveFrame", b"$", b"InactiveFrame", b"$" + b"zzzz" * 5]))
put("flow-stopreading-first.txt", flow(header=[b"StopReading"]))
put("flow-no-frames.txt", crlf(b"HelpOn", frame_tiles(0), b"#") + b"\r\n")
put("flow-only-names.txt", crlf(frame_tiles(0), *[b"~%d" % i for i in range(50)]) + b"\r\n")
put("flow-duplicate-names.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b'  "b" KeyDown 0'], [b"~b", frame_tiles(2)], [b"~", frame_tiles(3), b'  "" KeyDown 0']]))
put("flow-actions-odd.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b"  ", b"123456789", b'  "b"', b'  "b" ', b'  "b" LeftClick',
                                                   b'  "b" LeftClick x', b'  ">" Z 1', b"  RXD_EXI LeftClick 1", b"  IDC_HAND MouseOver 0,0,39,29",
                                                   b"  XRXD_PrevFrame KeyDown 66", b'  ">" Timer 0', b'  ">" LeftClick 0,0,39,29,55,66,77']]))
put("flow-actions-on-last-frame.txt", flow(frames=[FRAME_A, [b"~b", frame_tiles(1), b'  ">" KeyDown 0', b'  ">" LeftClick 0,0,39,29', b'  ">" Timer 0']]))
put("flow-settings-odd.txt", flow(header=[b"WindowIconSm 000,000,255", b"NotesBackColor=zzzzzz", b"NotesTextColor=12345", b"NotesFontSize=",
                                          b"ScreenFill=\xff", b"WindowRoundingStyle=-", b"TitleBarHeight", b"CloseRightEdge 0",
                                          b"InactiveUpperLeft", b"InactiveWidHeight ,", b'NotesFont "', b'WindowText "', b"HelpOn", b"NotesOff"]))
put("flow-icon-odd.txt", flow(header=[b"WindowIconSm :::,:::,:::"]))
put("flow-icon-outside.txt", flow(header=[b"WindowIconSm 999,999,999"]))
put("flow-icon-tiles-past-stack.txt", flow(header=[b"WindowIconSm 001,001,005"], frames=[[b"~a", tile_line([TILES + 1] * H)], FRAME_B]))
put("flow-title-band-everywhere.txt", flow(header=[b"TitleBarHeight 99", b"CloseRightEdge 99"]))
put("flow-splash-no-end.txt", flow(header=[b"SplashText", b" 20 never ends", b" 20 still"]))
put("flow-splash-hostile-sizes.txt", flow(header=[b"SplashText", b"999 huge", b"-99 negative", b"+40 plus", b"\t\t\t tabs", b"abc",
                                                  b"", b" 5", b"00", b"EndSplashText"]))
put("flow-splash-long-lines.txt", flow(header=[b"SplashText", b" 20 " + b"L" * LONG, b" 20 " + noise_without(2000, b"\r\n"), b"EndSplashText"]))
put("flow-splash-many-lines.txt", flow(header=[b"SplashText"] + [b" 10 line %d" % i for i in range(1000)] + [b"EndSplashText"]))
put("flow-splash-binary.txt", flow(header=[b"SplashText"] + [noise_without(60, b"\r\n") for _ in range(40)] + [b"EndSplashText"]))
put("flow-splash-only-start.txt", crlf(b"SplashText") + flow(header=[]))
put("flow-timer-chain.txt", flow(frames=[[b"~a", frame_tiles(0), b'  "b" Timer 30'], [b"~b", frame_tiles(1), b'  "c" Timer 30'],
                                          [b"~c", frame_tiles(2), b'  ">" Timer 30'], [b"~d", frame_tiles(3)]]))

frames = [b"HelpOn"]
for i in range(60000):
    # Names repeat, so that the file compresses to almost nothing.
    frames += [b"~f", tile_line([i % 3] * H), b'  ">" LeftClick 0,0,39,29', b'  "b" KeyDown 0']
frames[1] = b"~a"
frames[5] = b"~b"
frames[-4] = b"~last"
put("flow-60000-frames.txt.gz", crlf(*frames) + b"\r\n")

# ---- stack: demoStack.rxs beside the base flow ----
put("stack-empty.rxs", b"")
put("stack-one-byte.rxs", b"\x00")
put("stack-width-only.rxs", b"\x00\x28")
put("stack-width-zero.rxs", b"\x00\x00" + stack_data())
put("stack-width-65535.rxs", b"\xff\xff" + stack_data())
put("stack-width-3001.rxs", struct.pack(">H", 3001) + stack_data(40, 10))
put("stack-width-3000.rxs", struct.pack(">H", 3000) + stack_data(3000, 4))
put("stack-width-1.rxs", struct.pack(">H", 1) + stack_data(1, 100))
put("stack-width-39.rxs", struct.pack(">H", 39) + stack_data())
put("stack-cut-mid-tile.rxs", BASE_STACK[:2 + 3 * W * 45 + 17])
put("stack-cut-to-one-tile.rxs", BASE_STACK[:2 + 3 * W])
put("stack-noise.rxs", b"\x00\x28" + noise(20000))
put("stack-noise-any-width.rxs", noise(20000))
put("stack-is-text.rxs", BASE_FLOW)
put("stack-is-png.rxs", SCREEN)

# ---- compact: demoStack.rxz beside the base flow ----
PER_BLOCK = 8
BLOCK = 3 * W * PER_BLOCK
FRAMES = compact_frames(stack_data(), W, PER_BLOCK)
BLOCKS = len(FRAMES)
COMPACT = compact_stack(W, TILES, PER_BLOCK, FRAMES)
OFFSETS = list(struct.unpack_from("<%dQ" % (BLOCKS + 1), COMPACT, 24))
BOMB = b"\0" * (16 << 20)
# Noise of its own, so that the files made before the compact ones keep their bytes.
crng = random.Random(20261207)


def with_block(k, frame):
    """The sound stack with block k (frame b's tiles 30..59 lie in blocks 3..7) replaced."""
    return compact_stack(W, TILES, PER_BLOCK, FRAMES[:k] + [frame] + FRAMES[k + 1:])


def with_offsets(change):
    offsets = list(OFFSETS)
    change(offsets)
    return compact_stack(W, TILES, PER_BLOCK, FRAMES, offsets)


put("compact-sound.rxz", COMPACT)
put("compact-empty.rxz", b"")
put("compact-cut-in-header.rxz", COMPACT[:20])
put("compact-is-raw.rxz", BASE_STACK)
put("compact-width-zero.rxz", COMPACT[:8] + struct.pack("<I", 0) + COMPACT[12:])
put("compact-width-3001.rxz", COMPACT[:8] + struct.pack("<I", 3001) + COMPACT[12:])
put("compact-counts-disagree.rxz", COMPACT[:20] + struct.pack("<I", BLOCKS + 1) + COMPACT[24:])
put("compact-40960000-tiles.rxz", b"DemoRXZ1" + struct.pack("<4I", W, 80 ** 4, 1, 80 ** 4) + COMPACT[24:])
put("compact-cut-in-index.rxz", COMPACT[:24 + 8 * 5])
put("compact-cut-in-blocks.rxz", COMPACT[:OFFSETS[5] + 7])
put("compact-offsets-decreasing.rxz", with_offsets(lambda o: o.__setitem__(4, o[3] - 1)))
put("compact-first-offset-wrong.rxz", with_offsets(lambda o: o.__setitem__(0, o[0] + 1)))
put("compact-offset-past-end.rxz", with_offsets(lambda o: o.__setitem__(BLOCKS, o[BLOCKS] + 1)))
put("compact-offsets-huge.rxz", with_offsets(lambda o: o.__setitem__(6, 2 ** 64 - 1)))
put("compact-block-cut-short.rxz", with_block(4, FRAMES[4][:-9]))
put("compact-block-empty.rxz", with_block(4, b""))
put("compact-block-noise.rxz", with_block(4, noise(len(FRAMES[4]), crng)))
put("compact-block-flipped-byte.rxz", with_block(4, FRAMES[4][:20] + bytes([FRAMES[4][20] ^ 0x55]) + FRAMES[4][21:]))
put("compact-block-declares-less.rxz", with_block(4, zstd_declaring(stack_data()[4 * BLOCK:5 * BLOCK], BLOCK - 120)))
put("compact-block-declares-more.rxz", with_block(4, zstd(stack_data()[4 * BLOCK:5 * BLOCK] + b"\0" * 120)))
put("compact-block-bomb-declaring-its-size.rxz", with_block(4, zstd_declaring(BOMB, BLOCK)))
put("compact-block-bomb-declaring-nothing.rxz", with_block(4, zstd(BOMB, declare=False)))
put("compact-block-two-frames.rxz", with_block(4, FRAMES[4] + FRAMES[5]))
put("compact-all-blocks-noise.rxz", compact_stack(W, TILES, PER_BLOCK, [noise(len(f), crng) for f in FRAMES]))

# ---- program: a self-contained demo file run with --program ----
PROGRAM = b"MZ\x90\x00fake player program\x00" + b"!\"#$%" + b"\x00" * 64


def bundle(header=None, flow_text=BASE_FLOW, stack=BASE_STACK[2:], program=PROGRAM):
    if header is None:
        header = b"%06d %06d %010d" % (W, H, len(flow_text))
    return program + MARKER + b"\r\n" + header + b"\r\n" + flow_text + stack


GOOD = bundle()
put("program-sound.bin", GOOD)
put("program-empty.bin", b"")
put("program-no-marker.bin", PROGRAM + noise(3000))
put("program-marker-93.bin", PROGRAM + MARKER[:93] + b"\r\n000040 000030 0000000010\r\n")
put("program-marker-only.bin", PROGRAM + MARKER)
put("program-header-cut.bin", PROGRAM + MARKER + b"\r\n000040 0000")
put("program-length-past-end.bin", bundle(b"%06d %06d %010d" % (W, H, 99999999)))
put("program-length-10-nines.bin", bundle(b"%06d %06d 9999999999" % (W, H)))
put("program-length-negative.bin", bundle(b"%06d %06d -000000001" % (W, H)))
put("program-length-not-digits.bin", bundle(b"%06d %06d ::::::::::" % (W, H)))
put("program-length-zero.bin", bundle(b"%06d %06d 0000000000" % (W, H)))
put("program-length-short.bin", bundle(b"%06d %06d %010d" % (W, H, 300)))
put("program-length-long.bin", bundle(b"%06d %06d %010d" % (W, H, len(BASE_FLOW) + 5000)))
put("program-width-zero.bin", bundle(b"000000 %06d %010d" % (H, len(BASE_FLOW))))
put("program-width-999999.bin", bundle(b"999999 %06d %010d" % (H, len(BASE_FLOW))))
put("program-height-2401.bin", bundle(b"%06d 002401 %010d" % (W, len(BASE_FLOW))))
put("program-header-spaces.bin", bundle(b"    40     30 %10d" % len(BASE_FLOW)))
put("program-header-letters.bin", bundle(b"0000:0 00000: %010d" % len(BASE_FLOW)))
put("program-noise-after-marker.bin", PROGRAM + MARKER + noise(5000))
put("program-two-markers.bin", GOOD + MARKER + b"\r\n999999 999999 9999999999\r\n")
put("program-cut-in-flow.bin", GOOD[:len(GOOD) - len(BASE_STACK) - 200])
put("program-cut-in-stack.bin", GOOD[:len(GOOD) - 3 * W * 50 - 7])
put("program-flow-noise.bin", bundle(flow_text=noise(3000)))
put("program-inactive-3000-rows.bin", bundle(flow_text=flow(header=INACTIVE_HOSTILE[:3] + [tile_line([5] * 3000)])))
put("program-60000-frames.bin.gz", bundle(flow_text=files["flow-60000-frames.txt.gz"]))

COMPACT_FLOW = zstd(BASE_FLOW)


def compact_bundle(header=None, packed=COMPACT_FLOW, stack=COMPACT):
    if header is None:
        header = b"%06d %06d %010d %010d" % (W, H, len(BASE_FLOW), len(packed))
    return PROGRAM + MARKER[::-1] + b"\r\n" + header + b"\r\n" + packed + stack


put("program-compact-sound.bin", compact_bundle())
put("program-compact-marker-only.bin", PROGRAM + MARKER[::-1])
put("program-compact-header-letters.bin", compact_bundle(b"%06d %06d 00000:0000 %010d" % (W, H, len(COMPACT_FLOW))))
put("program-compact-packed-past-end.bin", compact_bundle(b"%06d %06d %010d %010d" % (W, H, len(BASE_FLOW), 99999999)))
put("program-compact-flow-huge.bin", compact_bundle(b"%06d %06d 9999999999 %010d" % (W, H, len(COMPACT_FLOW))))
put("program-compact-flow-256-mib.bin", compact_bundle(b"%06d %06d %010d %010d" % (W, H, 256 << 20, len(COMPACT_FLOW))))
put("program-compact-flow-length-off-by-one.bin", compact_bundle(b"%06d %06d %010d %010d" % (W, H, len(BASE_FLOW) + 1, len(COMPACT_FLOW))))
put("program-compact-flow-noise.bin", compact_bundle(packed=noise(len(COMPACT_FLOW), crng)))
put("program-compact-flow-bomb.bin", compact_bundle(packed=zstd_declaring(BASE_FLOW + BOMB, len(BASE_FLOW))))
put("program-compact-flow-declaring-nothing.bin", compact_bundle(packed=zstd(BASE_FLOW, declare=False)))
put("program-compact-stack-lying-index.bin", compact_bundle(stack=files["compact-offsets-decreasing.rxz"]))
put("program-compact-stack-cut.bin", compact_bundle()[:-9])
put("program-compact-stack-width-41.bin", compact_bundle(stack=COMPACT[:8] + struct.pack("<I", W + 1) + COMPACT[12:]))
put("program-compact-block-bomb.bin", compact_bundle(stack=files["compact-block-bomb-declaring-its-size.rxz"]))
put("program-compact-block-noise.bin", compact_bundle(stack=files["compact-block-noise.rxz"]))

# ---- storyboard: input to demotool pack, beside base/screen.png as screen.png ----
SB = [b"~a", b"$@screen.png", b'  "b" LeftClick 0,0,39,29', b"~b", b"$@screen.png @cursor 10,10", b'  "a" KeyDown 0', b""]


def sb(*lines):
    return b"\n".join(lines) + b"\n"


put("sb-empty.txt", b"")
put("sb-noise.txt", noise(5000))
put("sb-missing-screenshot.txt", sb(b"~a", b"$@not-there.png", b""))
put("sb-screenshot-is-folder.txt", sb(b"~a", b"$@.", b""))
put("sb-screenshot-parent-path.txt", sb(b"~a", b"$@../../../../../../../../../../dev/null", b""))
put("sb-screenshot-dev-zero.txt", sb(b"~a", b"$@/dev/zero", b""))
put("sb-screenshot-name-200.txt", sb(b"~a", b"$@" + b"s" * 200 + b".png", b""))
put("sb-screenshot-name-100k.txt", sb(b"~a", b"$@" + b"s" * LONG, b""))
put("sb-screenshot-name-binary.txt", sb(b"~a", b"$@\x01\x02\xff\x7f.png", b""))
put("sb-cursor-50-digits.txt", sb(b"~a", b"$@screen.png @cursor " + N50 + b"," + N50, b""))
put("sb-cursor-outside.txt", sb(b"~a", b"$@screen.png @cursor 9999999,0", b""))
put("sb-cursor-twice.txt", sb(b"~a", b"$@screen.png @cursor 1,1 @cursor 2,2", b""))
put("sb-screen-line-as-action.txt", sb(b"~a", b"$@screen.png", b"$@screen.png", b""))
put("sb-name-without-screen.txt", sb(b"~a", b"$@screen.png", b"~b"))
put("sb-first-tile-line-plain.txt", sb(b"~a", b"$++++", b"~b", b"$@screen.png", b""))
put("sb-sizes-differ.txt", sb(b"~a", b"$@screen.png", b"~b", b"$@other.png", b""))
put("sb-hostile-but-packable.txt", sb(b"WindowText \"" + b"t" * 5000 + b"\"", b"~a", b"$@screen.png", b"~b", b"!O " + b",".join([N50] * 4),
                                      b"$@screen.png", *[b'  ">" LeftClick %d,0,39,29' % i for i in range(100)], b"# " + N50 + b",1",
                                      *[b"note %d" % i for i in range(1000)], b"~" + b"N" * 200, b"$@screen.png @cursor 39,29", b""))
sb60000 = [b"~a", b"$@screen.png", b"~b", b"$@screen.png"]
for i in range(60000):
    sb60000 += [b"~f", b"$@screen.png", b'  ">" KeyDown 0']
put("sb-60000-frames.txt.gz", sb(*sb60000, b""))

# ---- png: the one screenshot of a two-frame storyboard ----
put("png-empty.png", b"")
put("png-signature-only.png", SCREEN[:8])
put("png-cut-in-header.png", SCREEN[:20])
put("png-cut-in-data.png", SCREEN[:SCREEN.index(b"IDAT") + 40])
put("png-cut-before-end.png", SCREEN[:-12])
put("png-noise.png", noise(3000))
put("png-noise-after-signature.png", SCREEN[:8] + noise(3000))
put("png-bad-header-crc.png", SCREEN[:29] + b"\0\0\0\0" + SCREEN[33:])
put("png-zero-width.png", png(0, 30, raw_rows=b""))
put("png-huge-claimed-size.png", png(100000, 100000, raw_rows=b"\0" * 100))
put("png-3001-wide.png", png(3001, 1, pixel=lambda x, y: (0, 0, 0)))
put("png-2401-high.png", png(1, 2401, pixel=lambda x, y: (0, 0, 0)))
put("png-3000x2400-zeros.png", png(3000, 2400, raw_rows=b"\0" * (2400 * (1 + 3000 * 3))))
put("png-1x1.png", png(1, 1))
put("png-data-too-short.png", png(W, H, raw_rows=b"\0" * 50))
put("png-gray-16bit.png", png(W, H, colour=0, depth=16, pixel=lambda x, y: (x, y)))
put("png-rgba-16bit.png", png(W, H, colour=6, depth=16, pixel=lambda x, y: (0, x, 0, y, 1, 2, 255, 255)))
put("png-palette.png", png(W, H, colour=3, depth=8, pixel=lambda x, y: ((x + y) % 4,), palette=b"\0\0\0\xff\0\0\0\xff\0\0\0\xff"))
put("png-palette-index-past-palette.png", png(W, H, colour=3, depth=8, pixel=lambda x, y: (200,), palette=b"\0\0\0"))
put("png-interlaced.png", png(W, H, interlace=1, raw_rows=zlib.decompress(zlib.compress(b"\0" * 5000))))
put("png-bad-colour-type.png", png(W, H, colour=5))


def main():
    base = os.path.join(HERE, "base")
    os.makedirs(base, exist_ok=True)
    for name, data in [("demoFlow.txt", BASE_FLOW), ("demoStack.rxs", BASE_STACK), ("screen.png", SCREEN),
                       ("other.png", png(W + 1, H))]:
        with open(os.path.join(base, name), "wb") as f:
            f.write(data)
    for name, data in files.items():
        # Big files are kept compressed; the replaying test unpacks them.
        if len(data) > 100000 and not name.endswith(".gz"):
            name += ".gz"
        if name.endswith(".gz"):
            data = gzip.compress(data, 9, mtime=0)
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
    print(len(files), "files")


if __name__ == "__main__":
    main()
