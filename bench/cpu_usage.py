#!/usr/bin/env python3
"""What the running monitor costs: CPU time and resident memory of the real program.

Runs pulsmir under Xvfb with the default skin in full mode at PerfRate 4 (20 samples a second)
for --seconds, and then conky at update_interval 0.05 with a comparable set of meters and
graphs on the same display, and prints both CPU shares (from utime and stime in /proc), their
resident memory, and the frames each one really draws a second (pulsmir_frame_counter: the X
server's damage reports on its window). Comparing at a rate a configuration asks for would be
wrong: conky's ${cpu} objects sleep 100 ms on every update, so a layout with them draws about
6.7 times a second whatever update_interval says; the conky layout here has none of them, and
really draws 20 times a second. pulsmir draws only what changed, so on an idle machine it draws
less often than it samples; --load keeps a processor meter moving (a busy loop on and off every
30 ms) so that it draws on nearly every sample, and both run under that load. Installs conky-std with apt-get when it is missing (--no-conky
skips the comparison). --threads measures instead the window threads' share: pulsmir in compact mode
(the mode the default skin floats in) over a plain X client, once with floating and auto-active
on at their default intervals and once without. --floor also measures bench's qt_floor, the
least any Qt monitor of this kind costs here: a 50 ms timer alone, with a small repaint every
tick, and with the sample's file reads as well. --compositing measures instead the face with its
cut-outs made by the X11 shape (no compositing manager, as today on X11) against the same face
with transparent cut-outs (an ARGB window under xcompmgr, what a Wayland session's compositor
gets), both at 20 samples a second in one run; installs xcompmgr when it is missing.
--also-skin measures further skins in the same run (the sensor skin beside the default one);
--sysfs points the sensors at a fixture machine. --versus BIN measures instead the skin with
another build (a baseline) in alternating rounds of the same run, and prints the ratio of the
medians. --remote measures instead, in the same alternating way, a window of this machine against
a window of this machine's figures read through Debian's prometheus-node-exporter on 127.0.0.1.
Usage: bench/cpu_usage.py [--bin build/bin] [--seconds 60] [--threads] [--floor] [--compositing]
       [--frame-counter build/tests/pulsmir_frame_counter] [--load] [--also-skin NAME]
       [--sysfs tests/fixtures/sys/amd_laptop] [--versus OLD/build/bin [--rounds 3]] [--remote]
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir, wait_until  # noqa: E402
from shell_cases import main_windows  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")

CONKY_CONFIG = """
conky.config = {
    update_interval = 0.05, own_window = true, own_window_type = 'normal',
    double_buffer = true, use_xft = true, font = 'DejaVu Sans Mono:size=8',
    minimum_width = 320, minimum_height = 240, out_to_console = false,
};
conky.text = [[
LOAD $loadavg
MEM $memperc% ${membar 6,120}
${memgraph 24,300}
SWP $swapperc% ${swapbar 6,120}
DISK R ${diskio_read} W ${diskio_write}
${diskiograph_read 24,145} ${diskiograph_write 24,145}
NET IN ${downspeed lo} OUT ${upspeed lo}
${downspeedgraph lo 24,145} ${upspeedgraph lo 24,145}
]]
"""


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as handle:
        fields = handle.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as handle:
        for line in handle:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def measure(pid, seconds, desktop=None, window=None, frame_counter=None):
    """CPU share and resident KiB over the seconds; with a window, also its frames a second."""
    time.sleep(3)  # start-up done, caches warm
    counter = None
    if window is not None:
        counter = subprocess.Popen([frame_counter, str(window), str(seconds)], env=desktop.env(),
                                   stdout=subprocess.PIPE, text=True)
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    used, elapsed = cpu_seconds(pid) - start_cpu, time.monotonic() - start
    share, rss = 100.0 * used / elapsed, resident_kib(pid)
    if counter is None:
        return share, rss
    out, _ = counter.communicate(timeout=30)
    return share, rss, len(out.split()) / seconds


def busy_on_and_off(stop):
    # On and off every 30 ms, so the processor meter never rests.
    while not stop.is_set():
        end = time.monotonic() + 0.03
        while time.monotonic() < end:
            pass
        time.sleep(0.03)


def conky_window(desktop):
    found = desktop.run(["xdotool", "search", "--classname", "^conky$"], check=False)
    return next((int(w) for w in found.split() if desktop.is_viewable(int(w))), None)


def run_pulsmir(desktop, bin_dir, skin, seconds, **settings):
    """CPU share and resident KiB of one pulsmir run with these settings."""
    with ProgramFolder(bin_dir) as folder:
        folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, CurrentSkinName=skin,
                        PingEnable=0, **settings)
        program = Pulsmir(desktop, folder)
        try:
            wait_until(lambda: "Application Running..." in folder.log_lines(), what="start-up")
            if f"Skin '{skin}' Loaded...Complete" not in folder.log_lines():
                sys.exit(f"skin {skin!r} did not load")
            return measure(program.process.pid, seconds)
        finally:
            program.terminate()


def measure_threads(desktop, args):
    # Something to float on: the floating thread then examines a real foreground window.
    client = desktop.spawn(["xmessage", "-geometry", "600x200+200+150", "foreground"])
    time.sleep(1)
    desktop.run(["xdotool", "search", "--sync", "--name", "^xmessage$", "windowactivate"],
                check=False)
    try:
        results = {}
        for label, on in (("threads off", 0), ("threads on ", 1)):
            results[on] = run_pulsmir(desktop, args.bin, args.skin, args.seconds, SkinMode=0,
                                      FloatSW=on, FloatInterval=50, AutoActiveSW=on,
                                      AutoActiveInterval=200)
            share, rss = results[on]
            print(f"pulsmir, {label}: {share:.2f} % of one core over {args.seconds:.0f} s "
                  f"at 20 samples/s, resident {rss / 1024:.1f} MiB")
        print(f"the two window threads: {results[1][0] - results[0][0]:+.2f} % of one core")
    finally:
        client.terminate()
        client.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(os.path.dirname(__file__), "../build/bin"))
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--skin", default="System Analog Meter II(for2.2)")
    parser.add_argument("--also-skin", action="append", default=[],
                        help="measure this skin too, in the same run (repeatable)")
    parser.add_argument("--sysfs", help="a tree standing for /sys, so that the sensors read its "
                                        "machine (tests/fixtures/sys/amd_laptop, say)")
    parser.add_argument("--no-conky", action="store_true")
    parser.add_argument("--threads", action="store_true",
                        help="floating and auto-active on versus off, instead of conky")
    parser.add_argument("--floor", action="store_true",
                        help="also measure the least a Qt monitor costs (bench/qt_floor)")
    parser.add_argument("--floor-bin", default=os.path.join(os.path.dirname(__file__),
                                                            "../build/bench/qt_floor"))
    parser.add_argument("--compositing", action="store_true",
                        help="shaped against transparent cut-outs, instead of conky")
    parser.add_argument("--rounds", type=int, default=3,
                        help="with --compositing or --versus: alternating runs of each")
    parser.add_argument("--versus", help="another build's bin folder to compare with")
    parser.add_argument("--remote", action="store_true",
                        help="compare with a window reading this machine through node_exporter")
    parser.add_argument("--load", action="store_true",
                        help="keep a processor meter moving, so pulsmir draws on every sample")
    parser.add_argument("--frame-counter", default=os.path.join(
        os.path.dirname(__file__), "../build/tests/pulsmir_frame_counter"))
    args = parser.parse_args()

    if args.threads:
        with Desktop() as desktop:
            measure_threads(desktop, args)
        return

    stop = threading.Event()
    if args.load:
        threading.Thread(target=busy_on_and_off, args=(stop,), daemon=True).start()
    try:
        if args.compositing:
            compare_cut_outs(args)
        elif args.versus:
            compare_builds(args)
        elif args.remote:
            compare_remote(args)
        else:
            compare_with_conky(args)
    finally:
        stop.set()


def measure_skin(desktop, args, skin, composited=None, **settings):
    """CPU share, resident KiB and frames a second of pulsmir showing one skin in full mode;
    with composited, checks that the cut-outs are made the way asked for."""
    with ProgramFolder(args.bin) as folder:
        folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, SkinMode=1,
                        CurrentSkinName=skin, PingEnable=0, **settings)
        env = {"PULSMIR_SYSFS": args.sysfs} if args.sysfs else None
        program = Pulsmir(desktop, folder, env=env)
        try:
            wait_until(lambda: "Application Running..." in folder.log_lines(), what="start-up")
            if f"Skin '{skin}' Loaded...Complete" not in folder.log_lines():
                sys.exit(f"skin {skin!r} did not load")
            transparent = "Window Shape : transparent cut-outs (compositing)" in folder.log_lines()
            if composited is not None and transparent != composited:
                sys.exit(f"transparent cut-outs {'missing' if composited else 'without compositing'}")
            window = wait_until(lambda: next(iter(main_windows(desktop)), None), what="window")
            return measure(program.process.pid, args.seconds, desktop, window, args.frame_counter)
        finally:
            program.terminate()


def compare_cut_outs(args):
    if not shutil.which("xcompmgr"):
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "xcompmgr"],
                       check=True, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    # Alternated, each going first in turn, so that whatever else the machine does and the
    # first run on a new display fall on both alike; the median run of each is compared.
    runs = {False: [], True: []}
    with Desktop() as desktop:
        for round_number in range(args.rounds):
            for composited in ((False, True) if round_number % 2 == 0 else (True, False)):
                compositor = desktop.spawn(["xcompmgr"]) if composited else None
                if compositor:
                    time.sleep(1)
                try:
                    runs[composited].append(measure_skin(desktop, args, args.skin, composited))
                finally:
                    if compositor:
                        compositor.terminate()
                        compositor.wait()
                share, rss, frames = runs[composited][-1]
                print(f"  {'transparent' if composited else 'shaped     '}: {share:.2f} % of one "
                      f"core, {frames:.1f} frames a second, {rss / 1024:.1f} MiB")
    shaped, transparent = (sorted(runs[key])[len(runs[key]) // 2] for key in (False, True))
    for label, (share, rss, frames) in (("X11 shape (no compositing)", shaped),
                                        ("transparent cut-outs (xcompmgr)", transparent)):
        print(f"pulsmir, {label}: {share:.2f} % of one core over {args.seconds:.0f} s at "
              f"20 samples/s, {frames:.1f} frames drawn a second, resident {rss / 1024:.1f} MiB")
    if shaped[0] > 0 and shaped[2] > 0 and transparent[2] > 0:
        print(f"transparent / shaped CPU: {transparent[0] / shaped[0]:.2f}; per frame drawn: "
              f"{(transparent[0] / transparent[2]) / (shaped[0] / shaped[2]):.2f}")


def compare_builds(args):
    with Desktop() as desktop:
        medians = median_runs(desktop, args, {"this build": (args.bin, {}),
                                              "baseline": (args.versus, {})})
    mine, base = medians["this build"], medians["baseline"]
    if base[0] > 0:
        print(f"{args.skin}: this build / baseline CPU at 20 samples/s: {mine[0] / base[0]:.2f} "
              f"({mine[0]:.2f} % against {base[0]:.2f} % of one core); resident "
              f"{mine[1] / 1024:.1f} against {base[1] / 1024:.1f} MiB")


def median_runs(desktop, args, kinds):
    """Each kind (a build's bin folder and settings) measured in alternating rounds, each going
    first in turn, so that whatever else the machine does falls on all alike; the median run of
    each."""
    runs = {name: [] for name in kinds}
    for round_number in range(args.rounds):
        order = list(kinds) if round_number % 2 == 0 else list(reversed(kinds))
        for name in order:
            bin_dir, settings = kinds[name]
            runs[name].append(measure_skin(desktop, argparse.Namespace(**dict(vars(args),
                                                                                 bin=bin_dir)),
                                           args.skin, **settings))
            share, rss, frames = runs[name][-1]
            print(f"  {name}: {share:.2f} % of one core, {frames:.1f} frames a second, "
                  f"{rss / 1024:.1f} MiB")
    return {name: sorted(runs[name])[len(runs[name]) // 2] for name in kinds}


def compare_remote(args):
    exporter_program = "/usr/bin/prometheus-node-exporter"
    if not os.path.exists(exporter_program):
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                        "prometheus-node-exporter"], check=True,
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    exporter = subprocess.Popen([exporter_program, f"--web.listen-address=127.0.0.1:{port}"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_until(lambda: socket.socket().connect_ex(("127.0.0.1", port)) == 0,
                   what="the node exporter's port")
        with Desktop() as desktop:
            medians = median_runs(desktop, args, {
                "this machine": (args.bin, {}),
                "node_exporter": (args.bin, {"Source": f"http://127.0.0.1:{port}/metrics"})})
    finally:
        exporter.terminate()
        exporter.wait()
    local, remote = medians["this machine"], medians["node_exporter"]
    if local[0] > 0:
        print(f"{args.skin}: remote / local CPU at 20 samples/s: {remote[0] / local[0]:.2f} "
              f"({remote[0]:.2f} % against {local[0]:.2f} % of one core, {remote[2]:.1f} "
              f"against {local[2]:.1f} frames a second); resident {remote[1] / 1024:.1f} "
              f"against {local[1] / 1024:.1f} MiB")


def compare_with_conky(args):
    with Desktop() as desktop:
        results = []
        for skin in [args.skin] + args.also_skin:
            share, rss, frames = measure_skin(desktop, args, skin)
            results.append((skin, share, frames))
            print(f"pulsmir ({skin}): {share:.2f} % of one core over {args.seconds:.0f} s at "
                  f"20 samples/s, {frames:.1f} frames drawn a second, resident {rss / 1024:.1f} MiB")
        for skin, other_share, other_frames in results[1:]:
            if results[0][1] > 0:
                print(f"{skin} / {args.skin} CPU: {other_share / results[0][1]:.2f}")
        _, share, frames = results[0]

        if args.floor:
            for mode in ("idle", "repaint", "repaint-reads"):
                floor = subprocess.Popen([args.floor_bin, mode], env=desktop.env(),
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    floor_share, _ = measure(floor.pid, args.seconds)
                finally:
                    floor.terminate()
                    floor.wait()
                print(f"qt_floor {mode}: {floor_share:.2f} % of one core over "
                      f"{args.seconds:.0f} s at 20 ticks/s")

        if args.no_conky:
            return
        if not shutil.which("conky"):
            subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "conky-std"],
                           check=True, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        config = "/tmp/pulsmir-bench-conky.conf"
        with open(config, "w") as handle:
            handle.write(CONKY_CONFIG)
        conky = subprocess.Popen(["conky", "-c", config], env=desktop.env(),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = wait_until(lambda: conky_window(desktop), what="conky's window")
            conky_share, conky_rss, conky_frames = measure(conky.pid, args.seconds, desktop,
                                                           window, args.frame_counter)
        finally:
            conky.terminate()
            conky.wait()
        print(f"conky:   {conky_share:.2f} % of one core over {args.seconds:.0f} s at "
              f"update_interval 0.05, {conky_frames:.1f} frames drawn a second, "
              f"resident {conky_rss / 1024:.1f} MiB")
        if conky_share > 0 and conky_frames > 0 and frames > 0:
            print(f"pulsmir / conky CPU: {share / conky_share:.2f}; per frame drawn: "
                  f"{(share / frames) / (conky_share / conky_frames):.2f}")


if __name__ == "__main__":
    main()
