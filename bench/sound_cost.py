#!/usr/bin/env python3
"""What an event sound costs the running monitor: CPU while a long sound plays, and resident
memory while a 50 MB file plays.

Plays through ALSA's "pulse" device into a PulseAudio server with a null sink, which takes the
sound at the real rate the way a desktop's sound server does (ALSA's own null and file devices
take it as fast as it comes). Installs pulseaudio and libasound2-plugins with apt-get when they
are missing. pulsmir runs under Xvfb with the default skin in full mode at PerfRate 4; the start
sound (the shipped tone) loads the sound libraries, and the ping sound, due PingRate seconds
after start, is the long file. CPU is utime + stime from /proc over equal spans with and without
the sound; memory is VmRSS, its highest value in each span.
Usage: bench/sound_cost.py [--bin build/bin] [--seconds 10] [--big-mb 50]
"""

import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir, wait_until  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def ensure_packages():
    if shutil.which("pulseaudio") and os.path.exists("/usr/share/alsa/alsa.conf.d/50-pulseaudio.conf"):
        return
    subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "pulseaudio",
                    "libasound2-plugins"], check=True, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def write_tone(path, seconds, rate=44100):
    """A stereo 16-bit tone of the given length, written a second at a time."""
    frames = int(seconds * rate)
    with open(path, "wb") as handle:
        data_bytes = frames * 4
        handle.write(b"RIFF" + struct.pack("<I", 36 + data_bytes) + b"WAVEfmt " +
                     struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16) + b"data" +
                     struct.pack("<I", data_bytes))
        second = b"".join(struct.pack("<hh", v, v) for v in
                          (int(3000 * math.sin(2 * math.pi * 440 * i / rate)) for i in range(rate)))
        written = 0
        while written < frames:
            count = min(rate, frames - written)
            handle.write(second[:count * 4])
            written += count


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


def span(pid, seconds):
    """CPU share in percent of one core and the highest resident KiB over the span."""
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    peak = 0
    while time.monotonic() - start < seconds:
        peak = max(peak, resident_kib(pid))
        time.sleep(0.25)
    return 100.0 * (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start), peak


def run(args, server, big_file, seconds):
    ping_rate = int(seconds) + 6
    with Desktop() as desktop, ProgramFolder(args.bin) as folder:
        folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, SkinMode=1,
                        PingEnable=1, PingRate=ping_rate)
        with open(folder.file("Pulsmir.ini"), "a", encoding="utf-8", newline="") as handle:
            handle.write(f"Enable=1\r\nMute=0\r\npSTART=sounds/start.wav\r\npPING={big_file}\r\n")
        program = Pulsmir(desktop, folder, env={"PULSMIR_AUDIO_DEVICE": "pulse",
                                                "PULSE_SERVER": server})
        started = time.monotonic()
        wait_until(lambda: "Application Running..." in folder.log_lines(), timeout=60,
                   what="start-up")
        pid = program.process.pid
        time.sleep(2.0)  # the start sound is over
        idle = span(pid, seconds)
        # The first ping, and its sound, come PingRate seconds after start.
        time.sleep(max(0.0, started + ping_rate + 0.5 - time.monotonic()))
        if not any(line == "Play : " + big_file for line in folder.log_lines()):
            sys.exit("the long sound did not start: " + "\n".join(folder.log_lines()[-10:]))
        playing = span(pid, seconds)
        program.terminate()
        errors = [line for line in folder.log_lines() if "Sound Play Error" in line]
        if errors:
            sys.exit("\n".join(errors))
        return idle, playing


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(root, "build/bin"))
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--big-mb", type=float, default=50.0)
    args = parser.parse_args()
    ensure_packages()
    with tempfile.TemporaryDirectory(prefix="pulsmir-sound-") as scratch:
        socket_path = os.path.join(scratch, "native")
        env = dict(os.environ, HOME=scratch, XDG_RUNTIME_DIR=scratch)
        server = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
             "-L", "module-null-sink",
             "-L", f"module-native-protocol-unix socket={socket_path} auth-anonymous=1"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_until(lambda: os.path.exists(socket_path), timeout=10, what="the sound server")
            long_file = os.path.join(scratch, "long.wav")
            write_tone(long_file, args.seconds + 4)
            big_file = os.path.join(scratch, "big.wav")
            write_tone(big_file, args.big_mb * 1e6 / (44100 * 4))
            (idle_cpu, _), (long_cpu, _) = run(args, "unix:" + socket_path, long_file, args.seconds)
            (_, idle_rss), (_, big_rss) = run(args, "unix:" + socket_path, big_file, args.seconds)
        finally:
            server.terminate()
            server.wait()
    print(f"CPU without a sound: {idle_cpu:.3f} % of one core")
    print(f"CPU while a {args.seconds + 4:.0f} s sound plays: {long_cpu:.3f} % "
          f"(+{long_cpu - idle_cpu:.3f} %, target +0.2 %)")
    print(f"resident memory idle: {idle_rss} KiB; while a {args.big_mb:.0f} MB file plays: "
          f"{big_rss} KiB (+{big_rss - idle_rss} KiB; two 32 KiB buffers are 64 KiB)")


if __name__ == "__main__":
    main()
