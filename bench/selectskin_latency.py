#!/usr/bin/env python3
"""How long SELECTSKIN takes to put the new skin on screen.

Runs pulsmir under Xvfb in full mode with the shipped skins, and switches between the default
skin and "Pulsmir Flat Digital" over Local Talk (port 4830) a number of times. pulsmir_frame_counter
reports, on CLOCK_MONOTONIC, when the X server saw the window take the other skin's size and then
draw; the time from the message to that first frame is the latency. Prints the median and the
worst of the runs.
Usage: bench/selectskin_latency.py [--bin build/bin] [--runs 20]
"""

import argparse
import os
import socket
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir, wait_until  # noqa: E402
from shell_cases import main_windows  # noqa: E402

SKINS = ["FlatDigital.ini", "AnalogMeter2.ini"]


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(root, "build/bin"))
    parser.add_argument("--frame-counter", default=os.path.join(root, "build/tests/pulsmir_frame_counter"))
    parser.add_argument("--runs", type=int, default=20)
    args = parser.parse_args()
    latencies = []
    with Desktop() as desktop, ProgramFolder(args.bin) as folder:
        folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, SkinMode=1, PingEnable=0,
                        SkinFolderWatch=0)
        program = Pulsmir(desktop, folder)
        wait_until(lambda: "Application Running..." in folder.log_lines(), timeout=60,
                   what="start-up")
        window = wait_until(lambda: next(iter(main_windows(desktop)), None), what="the window")
        time.sleep(1.0)
        seconds = args.runs * 0.6 + 2
        counter = subprocess.Popen([args.frame_counter, "--absolute", str(window), str(seconds)],
                                   env=desktop.env(), stdout=subprocess.PIPE, text=True)
        time.sleep(0.5)
        sent = []
        for run in range(args.runs):
            client = socket.create_connection(("127.0.0.1", 4830))
            sent.append(time.monotonic())
            client.sendall(b"SELECTSKIN:" + SKINS[run % 2].encode())
            client.close()
            time.sleep(0.6)
        out, _ = counter.communicate(timeout=seconds + 10)
        program.terminate()
    events = [line.split() for line in out.splitlines()]
    for start in sent:
        resized = next((float(e[0]) for e in events if e[1:2] == ["size"] and float(e[0]) > start),
                       None)
        if resized is None:
            continue
        drawn = next((float(e[0]) for e in events if len(e) == 1 and float(e[0]) >= resized), None)
        if drawn is not None:
            latencies.append((drawn - start) * 1000)
    if len(latencies) < args.runs // 2:
        sys.exit(f"only {len(latencies)} of {args.runs} switches were seen on screen")
    print(f"SELECTSKIN to the new skin on screen, {len(latencies)} switches: median "
          f"{statistics.median(latencies):.1f} ms, worst {max(latencies):.1f} ms (target 50 ms)")


if __name__ == "__main__":
    main()
