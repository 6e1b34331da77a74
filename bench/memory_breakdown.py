#!/usr/bin/env python3
"""Where the running monitor's resident memory goes.

Starts each given build's pulsmir under Xvfb with the default skin in full mode (or --mode
compact, the mode a new user starts in) at 20 samples a second, waits for it to settle, and sums /proc/PID/smaps by what the pages hold: the program's
own heap and anonymous memory (pictures, surfaces, Qt's objects, thread stacks, the libraries'
relocated data), the program file, Qt's libraries, other libraries, and mapped data files
(fonts, locale, caches), and how much of the total is private dirty. Several --bin folders are measured one after another on the same
desktop, so "before" and "after" builds compare in one run.
With --files N, the N mapped files holding the most resident memory are listed per build too.
Usage: bench/memory_breakdown.py [--bin build/bin ...] [--settle 8] [--files 25] [--mode compact]
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../tests/e2e"))

from harness import Desktop, ProgramFolder, Pulsmir  # noqa: E402

GROUPS = ("anonymous and heap", "the program file", "Qt libraries", "other libraries",
          "data files", "total", "of it private dirty")


def group_of(name, program):
    if not name or name.startswith("["):
        return "anonymous and heap"
    if os.path.realpath(name) == os.path.realpath(program):
        return "the program file"
    base = os.path.basename(name)
    if base.startswith("libQt6") or "/qt6/plugins/" in name:
        return "Qt libraries"
    if ".so" in base:
        return "other libraries"
    return "data files"


def breakdown(pid, program):
    """KiB per group, and KiB per mapped file. Anonymous pages of library mappings (relocated
    data) count as the program's own memory, as they are."""
    sizes = dict.fromkeys(GROUPS, 0)
    files = {}
    name, group = "", None
    with open(f"/proc/{pid}/smaps") as handle:
        for line in handle:
            fields = line.split()
            if "-" in fields[0] and len(fields[0].split("-")) == 2 and ":" not in fields[0]:
                name = fields[5] if len(fields) > 5 else ""
                group = group_of(name, program)
            elif fields[0] == "Rss:":
                sizes[group] += int(fields[1])
                sizes["total"] += int(fields[1])
                files[name or "[anonymous]"] = files.get(name or "[anonymous]", 0) + int(fields[1])
            elif fields[0] == "Private_Dirty:":
                # What no other process can share and the kernel cannot drop without swap; the
                # rest is clean pages of files, shared with every process that maps them.
                sizes["of it private dirty"] += int(fields[1])
            elif fields[0] == "Anonymous:" and group != "anonymous and heap":
                sizes[group] -= int(fields[1])
                sizes["anonymous and heap"] += int(fields[1])
    return sizes, files


def measure(desktop, bin_dir, settle, mode="full"):
    with ProgramFolder(bin_dir) as folder:
        folder.settings(ResourceName="English", NoSplash=1, PerfRate=4,
                        SkinMode=1 if mode == "full" else 0, PingEnable=0)
        program = Pulsmir(desktop, folder)
        try:
            folder.wait_for_log("Application Running...", timeout=60)
            time.sleep(settle)
            return breakdown(program.process.pid, os.path.join(bin_dir, "pulsmir"))
        finally:
            program.terminate()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", action="append")
    parser.add_argument("--settle", type=float, default=8)
    parser.add_argument("--files", type=int, default=0)
    parser.add_argument("--mode", choices=("full", "compact"), default="full")
    args = parser.parse_args()
    folders = args.bin or [os.path.join(HERE, "../build/bin")]
    with Desktop() as desktop:
        measured = [measure(desktop, folder, args.settle, args.mode) for folder in folders]
    results = [sizes for sizes, _ in measured]
    for number, folder in enumerate(folders, 1):
        print(f"build {number}: {os.path.abspath(folder)}")
    print(f"{'resident KiB':22}" + "".join(f"{'build ' + str(n):>14}"
                                           for n in range(1, len(folders) + 1)))
    for group in GROUPS:
        print(f"{group:22}" + "".join(f"{r[group]:>14}" for r in results))
    print(f"{'total MiB':22}" + "".join(f"{r['total'] / 1024:>14.1f}" for r in results))
    for number, (_, files) in enumerate(measured, 1):
        if args.files:
            print(f"build {number}: resident KiB per mapped file")
            for name, size in sorted(files.items(), key=lambda item: -item[1])[:args.files]:
                print(f"{size:>10}  {name}")


if __name__ == "__main__":
    main()
