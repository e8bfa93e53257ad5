#!/usr/bin/env python3
"""Turns a generated demo's flow text into one loop of "Timer 31" frames: each frame keeps its picture and moves on."""
import sys

path = sys.argv[1]
lines = open(path, 'rb').read().split(b'\r\n')
out, frame, first = [], None, None
for line in lines:
    if line.startswith(b'~'):
        frame = line
        first = first or line[1:]
        out.append(line)
    elif frame is None or line.startswith((b'$', b'!')):
        out.append(line)
        if line.startswith(b'$'):
            out.append(b'  ">" Timer 31')
last = max(i for i, l in enumerate(out) if l == b'  ">" Timer 31')
out[last] = b'  "' + first + b'" Timer 31'
# The last line of a flow text is never read: end with an empty one.
open(path, 'wb').write(b'\r\n'.join(out) + b'\r\n\r\n')
