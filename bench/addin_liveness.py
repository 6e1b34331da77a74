#!/usr/bin/env python3
"""Does the monitor keep drawing while the largest package it allows installs?

Runs pulsmir under Xvfb with the default skin at PerfRate 4 (20 ticks a second), writes a skin
package close to every limit (9,999 entries, nearly 256 MiB unpacked: 9,900 small pictures and
97 of 2.5 MiB, -lh5- runs), drops it on the window and confirms. pulsmir_frame_counter counts
the frames the X server sees the window draw; a background load keeps the processor meter moving
so that every tick has something to draw. Prints the frames a second before the drop and while
the package installs, and how long the install took.
Usage: bench/addin_liveness.py [--bin build/bin] [--helpers build/tests/e2e]
"""

import argparse
import os
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../tests/e2e"))
sys.path.insert(0, os.path.join(HERE, "../tests/fixtures/addin"))

import make_packages  # noqa: E402
from harness import Desktop, ProgramFolder, Pulsmir, wait_until, window_geometry  # noqa: E402
from shell_cases import main_windows  # noqa: E402


def load(stop):
    # On and off every 30 ms, so the processor meter never rests.
    while not stop.is_set():
        end = time.monotonic() + 0.03
        while time.monotonic() < end:
            pass
        time.sleep(0.03)


def largest_package(path):
    entries = [make_packages.level0(b"pma.$$$", make_packages.descriptor("SKIN", "Largest")),
               make_packages.level0(b"Largest.ini", b"[Pulsmir2_Skin]\r\nSkinName=Largest\r\n")]
    for i in range(9900):
        entries.append(make_packages.level0(b"Largest\\small%04d.png" % i, bytes([i % 251]) * 1024))
    for i in range(97):
        entries.append(make_packages.repeated_byte(b"Largest\\big%02d.png" % i, i, 2_621_440))
    with open(path, "wb") as handle:
        handle.write(b"".join(entries) + b"\x00")
    return len(entries), 9900 * 1024 + 97 * 2_621_440


def viewable(desktop, title):
    return any(desktop.is_viewable(w) for w in desktop.windows("^" + title))


def main():
    root = os.path.join(HERE, "..")
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(root, "build/bin"))
    parser.add_argument("--helpers", default=os.path.join(root, "build/tests/e2e"))
    args = parser.parse_args()
    counter = os.path.join(args.helpers, "pulsmir_frame_counter")
    dropper = os.path.join(args.helpers, "pulsmir_xdnd_drop")

    stop = threading.Event()
    threading.Thread(target=load, args=(stop,), daemon=True).start()
    try:
        with Desktop() as desktop, ProgramFolder(args.bin) as folder:
            package = os.path.join(os.path.dirname(folder.path), "largest.pma")
            entries, unpacked = largest_package(package)
            packed = os.path.getsize(package)
            folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, SkinMode=1,
                            PingEnable=0, PosX=400, PosY=300)
            program = Pulsmir(desktop, folder)
            wait_until(lambda: "Application Running..." in folder.log_lines(), timeout=60,
                       what="start-up")
            window = wait_until(lambda: next(iter(main_windows(desktop)), None), what="the window")
            time.sleep(1.0)
            seconds = 90.0  # the counter prints when its time is up
            started = time.monotonic()
            frames = subprocess.Popen([counter, str(window), str(seconds)], env=desktop.env(),
                                      stdout=subprocess.PIPE, text=True)
            time.sleep(3.0)
            x, y, w, h = window_geometry(desktop, window)
            desktop.spawn([dropper, str(window), str(x + w // 2), str(y + h // 2), package])
            desktop.answer_box("Add-in File Installation")
            confirmed = time.monotonic() - started
            wait_until(lambda: viewable(desktop, "Pulsmir - "), timeout=seconds - 10,
                       interval=0.05, what="the end of the install")
            ended = time.monotonic() - started
            title = desktop.answer_box("Pulsmir - ")
            out, _ = frames.communicate(timeout=seconds + 20)
            program.terminate()
    finally:
        stop.set()
    times = [float(line) for line in out.splitlines() if len(line.split()) == 1]
    before = sum(1 for t in times if 1.0 <= t < 3.0) / 2.0
    during = sum(1 for t in times if confirmed <= t < ended) / (ended - confirmed)
    print(f"package: {entries} entries, {unpacked / 2**20:.0f} MiB unpacked, "
          f"{packed / 2**20:.1f} MiB on disk; ended in \"{title}\"")
    print(f"install took {ended - confirmed:.1f} s")
    print(f"frames/s before the drop: {before:.1f}")
    print(f"frames/s while it installs: {during:.1f} ({during / before:.2f} of before)")


if __name__ == "__main__":
    main()
