#!/usr/bin/env python3
"""Does the monitor keep drawing while an SSTP exchange waits for a host that never answers?

Runs pulsmir under Xvfb with the default skin at PerfRate 4 (20 ticks a second) and SSTP on,
against a host on 127.0.0.1:9801 that accepts every connection and never says a word. A
double click switches the mode, which sends the mode event: EXECUTE Quiet and Restore, each
waiting out the reply bound. pulsmir_frame_counter counts the frames the X server sees the window
draw; a background load keeps the processor meter moving so that every tick has something to
draw. Prints the frames a second while the exchanges wait and afterwards, in the same mode.
Usage: bench/sstp_liveness.py [--bin build/bin] [--frame-counter build/tests/pulsmir_frame_counter]
"""

import argparse
import os
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir, wait_until, window_geometry  # noqa: E402
from shell_cases import main_windows  # noqa: E402

REPLY_BOUND = 3.0  # seconds an exchange waits for a reply (TFastSstp::DefaultReplyTimeOut)


def silent_host(stop):
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 9801))
    server.listen(8)
    server.settimeout(0.1)
    held = []
    while not stop.is_set():
        try:
            connection, _ = server.accept()
            held.append(connection)
        except socket.timeout:
            pass
    for connection in held:
        connection.close()
    server.close()


def load(stop):
    # On and off every 30 ms, so the processor meter never rests.
    while not stop.is_set():
        end = time.monotonic() + 0.03
        while time.monotonic() < end:
            pass
        time.sleep(0.03)


def frames_after_a_mode_switch(desktop, folder, bin_dir, frame_counter, sstp):
    """The frames a second over the 4.8 s that start one second after a double click."""
    folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, SkinMode=1,
                    SstpSW=1 if sstp else 0, PingEnable=0)
    program = Pulsmir(desktop, folder)
    wait_until(lambda: "Application Running..." in folder.log_lines(), timeout=60, what="start-up")
    if sstp:
        # The start-up check, and the "Start" event's Quiet, Restore and script.
        wait_until(lambda: waits(folder) == 4, timeout=30, what="the start-up exchanges")
    window = wait_until(lambda: next(iter(main_windows(desktop)), None), what="the window")
    time.sleep(1.0)
    seconds = 1.0 + 2 * REPLY_BOUND + 1.0
    counter = subprocess.Popen([frame_counter, str(window), str(seconds)], env=desktop.env(),
                               stdout=subprocess.PIPE, text=True)
    time.sleep(1.0)
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + 10), str(y + h // 2)])
    desktop.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])
    out, _ = counter.communicate(timeout=seconds + 10)
    frames = [float(line) for line in out.split()]
    program.terminate()
    if sstp and waits(folder) < 6:
        sys.exit(f"the mode event did not wait out the bound ({waits(folder)} waits)")
    # Quiet and Restore each wait out the bound; the first second is the mode switch itself.
    start, end = 2.0, 1.0 + 2 * REPLY_BOUND - 0.2
    return sum(1 for t in frames if start <= t < end) / (end - start), end - start


def waits(folder):
    return len([line for line in folder.log_lines() if "Reply Timed out" in line])


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(root, "build/bin"))
    parser.add_argument("--frame-counter", default=os.path.join(root, "build/tests/pulsmir_frame_counter"))
    args = parser.parse_args()

    stop = threading.Event()
    for target in (silent_host, load):
        threading.Thread(target=target, args=(stop,), daemon=True).start()
    try:
        results = {}
        for sstp in (False, True):
            with Desktop() as desktop, ProgramFolder(args.bin) as folder:
                results[sstp] = frames_after_a_mode_switch(desktop, folder, args.bin,
                                                           args.frame_counter, sstp)
    finally:
        stop.set()
    (off, span), (on, _) = results[False], results[True]
    print(f"frames/s with SSTP off, over {span:.1f} s after the switch: {off:.1f}")
    print(f"frames/s while Quiet and Restore wait for a silent host: {on:.1f} "
          f"({on / off:.2f} of the run without SSTP)")


if __name__ == "__main__":
    main()
