#!/usr/bin/env python3
"""A long day in a short time: the real program under Xvfb at 20 ticks a second with the full
default skin, while a driver switches skins over Local Talk every half second, switches the
mode by double click, toggles floating from the pop-up menu, and a local SSTP host answers the
notifications all of that sends.

Reports resident memory, open descriptors and threads after the settling time (the first
minute, or a third of a shorter run) and at the end, and every error line of the debug log.
Fails when descriptors or threads grew at all (Qt's own thread pool, bounded by the cores, is
counted apart), when the program died, when it did not exit cleanly at the end, or, in a run of
two minutes or more, when memory grew by more than 1 MiB after the first minute (in a shorter
run the allocator and Qt's caches are still settling, so memory is only reported).
Usage: bench/soak.py [--bin build/bin] [--seconds 600]
"""

import argparse
import os
import re
import socket
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir, wait_until, window_geometry  # noqa: E402
from shell_cases import main_windows  # noqa: E402
from sstp_host import SstpHost  # noqa: E402
from window_cases import popup_menu  # noqa: E402

SKINS = ("FlatDigital.ini", "AnalogMeter2.ini", "MiniStrip.ini", "AnalogMeter2.ini")
LOCAL_TALK_PORT = 4830
MEMORY_GROWTH_KIB = 1024
SCRIPTS = ("[Start]\r\nType1=start\r\n[ChangeSkin]\r\nType1=skin %s\r\n"
           "[ChangeModeA]\r\nType1=mode full\r\n[ChangeModeB]\r\nType1=mode compact\r\n")
ERROR_LINE = re.compile(r"error|fail|warning|denied|timed out|< ! >", re.IGNORECASE)


POOL_THREAD = "Thread (pooled)"


def resources(pid):
    """Resident KiB, open descriptors and threads of a process.

    Qt's global thread pool (image conversions and scaling on large pictures) keeps up to one
    thread per core for 30 s after its last use; those threads, each with the event descriptor
    every Qt thread has, come and go with the skin switches and are counted apart. What is left
    is sampled for a second and the least count taken, so that a Local Talk client or an SSTP
    exchange in flight at the moment of a sample is not taken for a leak: a leak never shrinks.
    """
    samples = []
    for _ in range(10):
        with open(f"/proc/{pid}/status") as handle:
            rss = next(int(line.split()[1]) for line in handle if line.startswith("VmRSS:"))
        names = []
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/comm") as handle:
                    names.append(handle.read().strip())
            except FileNotFoundError:
                pass  # the thread ended while the folder was read
        pooled = names.count(POOL_THREAD)
        samples.append({"memory KiB": rss,
                        "descriptors": len(os.listdir(f"/proc/{pid}/fd")) - pooled,
                        "threads": len(names) - pooled, "pool threads": pooled})
        time.sleep(0.1)
    return {key: min(sample[key] for sample in samples) for key in samples[0]}


def select_skin(name):
    with socket.create_connection(("127.0.0.1", LOCAL_TALK_PORT), timeout=5) as client:
        client.sendall(b"SELECTSKIN:" + name.encode())


def double_click(desktop):
    window = next(iter(main_windows(desktop)), None)
    if window is None:
        return
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)], check=False)
    desktop.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"], check=False)


def toggle_floating(desktop):
    window = next(iter(main_windows(desktop)), None)
    if window is not None:
        # Past the mode, tray and skin items into the floating submenu; its first item.
        popup_menu(desktop, window, ["Down", "Down", "Down", "Down", "Right", "Return"])


def drive(desktop, program, seconds, settle, on_settled):
    """Switches skins every half second, the mode every 7 s and floating every 11 s."""
    start = time.monotonic()
    switches = modes = floats = 0
    next_mode, next_float = 3.0, 5.0
    settled = False
    while (elapsed := time.monotonic() - start) < seconds:
        if not program.running():
            sys.exit(f"pulsmir died after {elapsed:.0f} s")
        if not settled and elapsed >= settle:
            on_settled()
            settled = True
        select_skin(SKINS[switches % len(SKINS)])
        switches += 1
        if elapsed >= next_mode:
            double_click(desktop)
            modes += 1
            next_mode += 7.0
        if elapsed >= next_float:
            toggle_floating(desktop)
            floats += 1
            next_float += 11.0
        time.sleep(max(0.0, start + switches * 0.5 - time.monotonic()))
    return switches, modes, floats


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(HERE, "../build/bin"))
    parser.add_argument("--seconds", type=float, default=600)
    args = parser.parse_args()
    settle = min(60.0, args.seconds / 3)

    failures = []
    with Desktop() as desktop, ProgramFolder(args.bin) as folder, SstpHost() as host:
        folder.write("sstp.ini", SCRIPTS)
        folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, SkinMode=1, SstpSW=1,
                        PingEnable=1, FloatSW=0)
        program = Pulsmir(desktop, folder)
        folder.wait_for_log("Application Running...", timeout=60)
        wait_until(lambda: next(iter(main_windows(desktop)), None), timeout=60, what="window")
        pid = program.process.pid
        baseline = {}
        switches, modes, floats = drive(desktop, program, args.seconds, settle,
                                        lambda: baseline.update(resources(pid)))
        end = resources(pid)
        if program.terminate() != 0:
            failures.append(f"exit code {program.process.returncode} after SIGTERM")
        errors = [line for line in folder.log_lines() if ERROR_LINE.search(line)]
        loaded = sum(1 for line in folder.log_lines() if line.endswith("Loaded...Complete"))
        sent = len(host.commands())

    print(f"{args.seconds:.0f} s at 20 ticks/s: {switches} skin switches asked, {loaded} skins "
          f"loaded, {modes} mode switches, {floats} floating toggles, {sent} SSTP requests")
    print(f"{'':14}{'after ' + format(settle, '.0f') + ' s':>12}{'at the end':>12}")
    for key in ("memory KiB", "descriptors", "threads", "pool threads"):
        print(f"{key:14}{baseline[key]:>12}{end[key]:>12}")
    growth = end["memory KiB"] - baseline["memory KiB"]
    if growth > MEMORY_GROWTH_KIB and args.seconds >= 120:
        failures.append(f"memory grew by {growth} KiB")
    for key in ("descriptors", "threads"):
        if end[key] > baseline[key]:
            failures.append(f"{key} grew from {baseline[key]} to {end[key]}")
    if end["pool threads"] > os.cpu_count():
        failures.append(f"{end['pool threads']} pool threads on {os.cpu_count()} cores")
    print(f"error lines in the log: {len(errors)}")
    for line in sorted(set(errors)):
        print(f"  {errors.count(line):5} x {line}")
    for failure in failures:
        print(f"FAIL: {failure}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
