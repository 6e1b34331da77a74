#!/usr/bin/env python3
"""Runs every command the README shows (its indented `build/bin/...` lines, a line ending in a
backslash going on on the next) as a reader would: from the top of a source tree whose `build`
is the build under test, in a scratch folder so the pictures they write land there. Each must
exit 0 and print no missing text; the face picture must be transparent where the window is cut
out. Usage: readme_commands.py --bin BUILD/bin --readme README.md"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import zlib

TIMEOUT = 120  # a loaded two-core machine


def commands(readme):
    found, pending = [], ""
    with open(readme, encoding="utf-8") as handle:
        for line in handle:
            if pending:
                pending += " " + line.strip()
            elif line.startswith("    ") and line.strip().startswith("build/bin/"):
                pending = line.strip()
            else:
                continue
            if pending.endswith("\\"):
                pending = pending[:-1].rstrip()
            else:
                found.append(pending)
                pending = ""
    return found


def png_alpha(path):
    """The alpha rows of an 8-bit RGBA PNG, or None for a PNG without alpha."""
    with open(path, "rb") as handle:
        data = handle.read()
    position, chunks = 8, {}
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        chunks.setdefault(kind, b"")
        chunks[kind] += data[position + 8:position + 8 + length]
        position += 12 + length
    width, height, depth, colour = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    if (depth, colour) != (8, 6):
        return None
    raw, stride, rows, previous = zlib.decompress(chunks[b"IDAT"]), width * 4, [], bytes(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = previous[i], previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line[3::4])
        previous = bytes(line)
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--readme", required=True)
    options = parser.parse_args()
    build = os.path.dirname(os.path.abspath(options.bin))
    listed = commands(options.readme)
    failures = []
    if len(listed) < 5:
        failures.append(f"only {len(listed)} commands found in {options.readme}")
    environment = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    with tempfile.TemporaryDirectory() as top:
        os.symlink(build, os.path.join(top, "build"))
        for command in listed:
            try:
                run = subprocess.run(["bash", "-c", command], cwd=top, env=environment,
                                     capture_output=True, text=True, timeout=TIMEOUT)
            except subprocess.TimeoutExpired:
                failures.append(f"{command}: still running after {TIMEOUT} s")
                continue
            if run.returncode != 0:
                failures.append(f"{command}: exit {run.returncode}: {run.stderr.strip()}")
            elif "(NoData:" in run.stdout:
                failures.append(f"{command}: a text is missing: {run.stdout!r}")
            print(f"ran: {command}")
        face = os.path.join(top, "face.png")
        alpha = png_alpha(face) if os.path.exists(face) else None
        if alpha is None:
            failures.append("face.png has no alpha channel (or was not written)")
        elif alpha[0][0] != 0 or alpha[len(alpha) // 2][len(alpha[0]) // 2] != 255:
            failures.append("face.png: the cut-out corner is not transparent, or the face is")
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
