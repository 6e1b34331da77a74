#!/usr/bin/env python3
"""Start-up and shutdown time of the real program under Xvfb.

Start-up: from process start to the log line "Application Running..." (NoSplash=1).
Shutdown: from SIGTERM to the end of the process. Prints the medians over --runs runs.
Usage: bench/startup_time.py [--bin build/bin] [--runs 10]
"""

import argparse
import os
import signal
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir, wait_until  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(os.path.dirname(__file__), "../build/bin"))
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()

    startups, shutdowns = [], []
    with Desktop() as desktop:
        for _ in range(args.runs):
            with ProgramFolder(args.bin) as folder:
                folder.settings(ResourceName="English", NoSplash=1)
                program = Pulsmir(desktop, folder)
                wait_until(lambda: "Application Running..." in folder.log_lines(), interval=0.001,
                           what="start-up")
                startups.append(time.monotonic() - program.started)
                time.sleep(0.3)
                stopping = time.monotonic()
                program.process.send_signal(signal.SIGTERM)
                program.process.wait(timeout=10)
                shutdowns.append(time.monotonic() - stopping)

    print(f"start-up to 'Application Running...': median {statistics.median(startups) * 1000:.1f} ms "
          f"(min {min(startups) * 1000:.1f}, max {max(startups) * 1000:.1f}) over {args.runs} runs")
    print(f"shutdown after SIGTERM: median {statistics.median(shutdowns) * 1000:.1f} ms "
          f"(min {min(shutdowns) * 1000:.1f}, max {max(shutdowns) * 1000:.1f})")


if __name__ == "__main__":
    main()
