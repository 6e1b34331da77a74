#!/usr/bin/env python3
"""Start-up and shutdown time of the real program under Xvfb.

Start-up: from process start to the log line "Application Running..." (NoSplash=1).
Shutdown: from SIGTERM to the end of the process. Prints the medians over --runs runs.
With --installed it also installs the build into a scratch prefix and times the installed
program with a scratch home, alternating the two in one run.
Usage: bench/startup_time.py [--bin build/bin] [--runs 10] [--installed]
"""

import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir, wait_until  # noqa: E402
from install_cases import InstalledProgram  # noqa: E402

SETTINGS = ("[Pulsmir2]\r\nVersion=220\r\nNoSplash=1\r\nResourceName=English\r\n"
            "CurrentSkinName=System Analog Meter II(for2.2)\r\nPingHost=127.0.0.1\r\n"
            "UseDefaultGateway=0\r\n\r\n[Pulsmir2_EventSound]\r\n")


def stop_time(process):
    """Lets the started program run a moment, then times how long SIGTERM takes to end it."""
    time.sleep(0.3)
    stopping = time.monotonic()
    process.send_signal(signal.SIGTERM)
    process.wait(timeout=10)
    return time.monotonic() - stopping


def portable_run(desktop, bin_dir):
    with ProgramFolder(bin_dir) as folder:
        folder.settings(ResourceName="English", NoSplash=1)
        program = Pulsmir(desktop, folder)
        wait_until(lambda: "Application Running..." in folder.log_lines(), interval=0.001,
                   what="start-up")
        started = time.monotonic() - program.started
        return started, stop_time(program.process)


def installed_run(desktop, prefix):
    with tempfile.TemporaryDirectory(prefix="pulsmir-home-") as home:
        program = InstalledProgram(desktop, prefix, home)
        os.makedirs(os.path.dirname(program.settings_file))
        with open(program.settings_file, "w", newline="") as handle:
            handle.write(SETTINGS)
        os.makedirs(program.user_folder)
        open(os.path.join(program.user_folder, "Debug.log"), "w").close()
        begun = time.monotonic()
        program.process = subprocess.Popen([os.path.join(prefix, "bin", "pulsmir")], env=program.env(),
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: "Application Running..." in program.log_lines(), interval=0.001,
                   what="installed start-up")
        started = time.monotonic() - begun
        return started, stop_time(program.process)


def report(label, runs):
    starts = [start for start, _ in runs]
    stops = [stop for _, stop in runs]
    print(f"{label}: start-up to 'Application Running...' median {statistics.median(starts) * 1000:.1f} ms "
          f"(min {min(starts) * 1000:.1f}, max {max(starts) * 1000:.1f}); shutdown after SIGTERM "
          f"median {statistics.median(stops) * 1000:.1f} ms, over {len(runs)} runs")
    return statistics.median(starts)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(root, "build/bin"))
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--installed", action="store_true")
    args = parser.parse_args()

    portable, installed = [], []
    with tempfile.TemporaryDirectory(prefix="pulsmir-prefix-") as prefix, Desktop() as desktop:
        if args.installed:
            subprocess.run(["cmake", "--install", os.path.dirname(os.path.abspath(args.bin)),
                            "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        for _ in range(args.runs):
            portable.append(portable_run(desktop, args.bin))
            if args.installed:
                installed.append(installed_run(desktop, prefix))
    base = report("portable", portable)
    if installed:
        median = report("installed", installed)
        print(f"installed / portable start-up: {median / base:.2f}")


if __name__ == "__main__":
    main()
