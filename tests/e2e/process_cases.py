"""The busiest processes in --status, read from a tree that stands for /proc (PULSMIR_PROCFS)
and holds what no real one does."""

import os

from faults import SilentFileSystem
from harness import E2EError, Pulsmir
from shell_cases import expect


def stat_line(pid, name, ticks):
    return (f"{pid} (".encode() + name + f") S 1 1 1 0 -1 4194560 100 0 0 0 {ticks} 0 0 0 20 0 1 "
            f"0 {pid + 100} 1000 200 0 0 0 0\n".encode())


def hostile_proc(root):
    """Two processes, one named with a parenthesis, a line break and an escape sequence; beside
    them stat files that are a named pipe, a device, a sparse gigabyte and a half line."""
    def write(path, data=b""):
        path = os.path.join(root, path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as handle:
            handle.write(data)
        return path

    write("stat", b"cpu  100 0 50 800 10 0 0 0 0 0\ncpu0 100 0 50 800 10 0 0 0 0 0\n")
    write("1/stat", stat_line(1, b"init", 40))
    write("42/stat", stat_line(42, b"a) (b\nc\x1b[2J", 10))
    os.mkfifo(os.path.join(os.path.dirname(write("7/cmdline")), "stat"))
    os.symlink("/dev/zero", os.path.join(os.path.dirname(write("8/cmdline")), "stat"))
    os.truncate(write("9/stat", stat_line(9, b"huge", 5)), 1 << 30)
    write("10/stat", b"10 (half")
    return {"PULSMIR_PROCFS": root}


def status(desktop, folder, env):
    folder.settings(ResourceName="English", NoSplash=1)
    program = Pulsmir(desktop, folder, args=("--status", "--count", "1", "--interval", "50"),
                      env=env)
    if program.wait_exit(timeout=60) != 0:
        raise E2EError(f"--status failed: {program.stderr}")
    return program.stdout


def status_prints_the_busiest_processes_whatever_proc_holds(desktop, folder):
    """Only the two processes are listed, by pid as neither used time, the name written out
    so that it cannot start a line of its own."""
    out = status(desktop, folder, hostile_proc(os.path.join(folder.root, "proc")))
    lines = [line for line in out.splitlines() if line.startswith(" Process ")]
    expect(lines == [" Process 1 : 0.0 % init (1)",
                     " Process 2 : 0.0 % a) (b\\nc\\x1b[2J (42)"], out)


def status_ends_on_time_when_proc_stops_answering(desktop, folder):
    """A process's folder on a file system that never answers holds the sample up for good:
    --status prints the rest and ends."""
    root = os.path.join(folder.root, "proc")
    env = hostile_proc(root)
    silent = os.path.join(root, "77")
    os.makedirs(silent)
    with SilentFileSystem(silent):
        out = status(desktop, folder, env)
    expect("Pulsmir Status Snapshot" in out and " CPU : " in out, out)
    expect(" Process " not in out, out)
