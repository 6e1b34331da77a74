#!/usr/bin/env python3
"""The monitor under hostile local peers, measured on the real program under Xvfb.

For each --bin (a program folder such as build/bin; give two to compare builds in one run):
  pour     clients pour data into Local Talk for --seconds: peak resident memory, processor share
  crowd    3000 idle clients at once on Local Talk: peak descriptors, how many were turned away
  endless  an SSTP host whose every reply never ends, for --seconds from start-up: time to
           "Application Running...", peak memory, processor share, time from SIGTERM to exit
  100mb    an SSTP host that sends 100 MB for every reply: time to "Application Running..."
  exit     a keep-open SSTP host that answers Quiet and Restore with the status line and the
           empty line alone: time from Exit in the menu to the end (median of --runs)
Memory and descriptors are read from /proc every 0.1 s. Figures, not pass/fail: the checks are
the end-to-end cases in tests/e2e/peer_cases.py.
Usage: bench/hostile_peers.py [--bin build/bin ...] [--seconds 15] [--runs 5] [--only pour,...]
"""

import argparse
import os
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))

from faults import isolate_network  # noqa: E402
from harness import Desktop, ProgramFolder, Pulsmir, wait_until  # noqa: E402
from hostile_peers import Crowd, Sampler, pour_into_local_talk, resources  # noqa: E402
from sstp_cases import the_window  # noqa: E402
from sstp_host import PouringHost, SstpHost  # noqa: E402
from window_cases import popup_menu  # noqa: E402

SCRIPTS = ("[Start]\r\nType1=hello\r\n[UserExitA]\r\nType1=bye\r\n[UserExitB]\r\nType1=bye\r\n"
           "[UserExitC]\r\nType1=bye\r\n")
SLOW = 120


def started(desktop, folder, **settings):
    settings.setdefault("ResourceName", "English")
    settings.setdefault("NoSplash", 1)
    folder.settings(**settings)
    program = Pulsmir(desktop, folder)
    wait_until(lambda: "Application Running..." in folder.log_lines(), timeout=SLOW,
               interval=0.005, what="start-up")
    return program, time.monotonic() - program.started


def stop_seconds(program):
    stopping = time.monotonic()
    program.process.send_signal(signal.SIGTERM)
    program.process.wait(timeout=SLOW)
    return time.monotonic() - stopping


def pour(desktop, bin_dir, seconds):
    with ProgramFolder(bin_dir) as folder:
        program, _ = started(desktop, folder)
        idle = resources(program.process.pid)
        with Sampler(program.process.pid) as sampler:
            sent, connections = pour_into_local_talk(seconds)
        stop_seconds(program)
        return (f"idle {idle['memory KiB'] / 1024:.1f} MiB; {sampler.summary()} while "
                f"{sent / 2**20:.0f} MiB poured in {connections} connections for {seconds} s")


def crowd(desktop, bin_dir, seconds):
    with ProgramFolder(bin_dir) as folder:
        program, _ = started(desktop, folder)
        idle = resources(program.process.pid)
        with Sampler(program.process.pid) as sampler:
            with Crowd(3000) as clients:
                time.sleep(min(seconds, 5))
                turned_away = clients.closed_by_monitor()
        stop_seconds(program)
        return (f"idle {idle['descriptors']} descriptors; {sampler.summary()} with 3000 clients "
                f"trying, {turned_away} turned away")


def endless(desktop, bin_dir, seconds):
    with ProgramFolder(bin_dir) as folder, PouringHost() as host:
        folder.write("sstp.ini", SCRIPTS)
        folder.settings(ResourceName="English", NoSplash=1, SstpSW=1)
        program = Pulsmir(desktop, folder)
        with Sampler(program.process.pid) as sampler:
            wait_until(lambda: "Application Running..." in folder.log_lines(), timeout=SLOW * 5,
                       interval=0.005, what="start-up")
            start_up = time.monotonic() - program.started
            time.sleep(max(0, seconds - start_up))
        stopping = stop_seconds(program)
        longest = max(len(line) for line in folder.log_lines())
        return (f"start-up {start_up:.2f} s; {sampler.summary()}; exit {stopping:.2f} s; "
                f"host poured {host.poured / 2**20:.0f} MiB; longest log line {longest} chars")


def hundred_mb(desktop, bin_dir, seconds):
    with ProgramFolder(bin_dir) as folder, PouringHost(total=100 * 2**20):
        folder.write("sstp.ini", SCRIPTS)
        program, start_up = started(desktop, folder, SstpSW=1)
        peak = resources(program.process.pid)["memory KiB"]
        stop_seconds(program)
        return f"start-up {start_up:.2f} s, {peak / 1024:.1f} MiB resident after it"


def exit_time(desktop, bin_dir, runs):
    """Exit from the menu, which sends Quiet, the exit event's script and Restore: from the
    menu's Return to the end of the process."""
    times = []
    for _ in range(runs):
        with ProgramFolder(bin_dir) as folder, SstpHost():
            folder.write("sstp.ini", SCRIPTS)
            program, _ = started(desktop, folder, SstpSW=1, SkinMode=1)
            window = the_window(desktop)
            time.sleep(1.5)  # past the Start event's resend tick
            # Up from the top of the menu is its last item, Exit; the clock starts as the
            # Return that picks it is sent (so it includes starting xdotool).
            popup_menu(desktop, window, ["Up"])
            chosen = time.monotonic()
            subprocess.Popen(["xdotool", "key", "Return"], env=desktop.env())
            program.process.wait(timeout=SLOW)
            times.append(time.monotonic() - chosen)
    return statistics.median(times), f"exit {statistics.median(times):.2f} s (median of {runs})"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", action="append", help="program folder (repeat to compare)")
    parser.add_argument("--seconds", type=int, default=15)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", default="pour,crowd,endless,100mb,exit")
    args = parser.parse_args()
    bins = args.bin or [os.path.join(os.path.dirname(__file__), "../build/bin")]
    wanted = args.only.split(",")
    exits = {}
    with Desktop() as desktop:
        # The fixed Local Talk and SSTP ports are this run's alone.
        isolate_network()
        for bin_dir in bins:
            print(f"== {bin_dir}", flush=True)
            if "pour" in wanted:
                print("pour:    " + pour(desktop, bin_dir, args.seconds), flush=True)
            if "crowd" in wanted:
                print("crowd:   " + crowd(desktop, bin_dir, args.seconds), flush=True)
            if "endless" in wanted:
                print("endless: " + endless(desktop, bin_dir, args.seconds), flush=True)
            if "100mb" in wanted:
                print("100mb:   " + hundred_mb(desktop, bin_dir, args.seconds), flush=True)
            if "exit" in wanted:
                exits[bin_dir], text = exit_time(desktop, bin_dir, args.runs)
                print("exit:    " + text, flush=True)
    if len(exits) == 2:
        (a, first), (b, second) = exits.items()
        print(f"exit against a keep-open host: {second / first:.3f} of {a}'s time")


if __name__ == "__main__":
    main()
