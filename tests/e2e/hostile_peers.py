"""Hostile local peers against the running monitor, for the end-to-end cases and the benchmarks:
clients that pour data into Local Talk, a crowd of idle clients, and what the monitor holds
meanwhile (resident memory, descriptors, processor time), read from /proc."""

import errno
import os
import resource
import socket
import threading
import time

LOCAL_TALK_PORT = 4830
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def resources(pid):
    """Resident KiB, open descriptors and threads of a process."""
    with open(f"/proc/{pid}/status") as handle:
        rss = next(int(line.split()[1]) for line in handle if line.startswith("VmRSS:"))
    return {"memory KiB": rss, "descriptors": len(os.listdir(f"/proc/{pid}/fd")),
            "threads": len(os.listdir(f"/proc/{pid}/task"))}


def cpu_seconds(pid):
    """User and system time the process has used."""
    with open(f"/proc/{pid}/stat") as handle:
        fields = handle.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


class Sampler:
    """Reads a process's memory and descriptors every `interval` seconds on a thread of its own
    and keeps the highest of each."""

    def __init__(self, pid, interval=0.1):
        self.pid = pid
        self.interval = interval
        self.peak = {"memory KiB": 0, "descriptors": 0}
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self.cpu_start = cpu_seconds(self.pid)
        self.started = time.monotonic()
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()
        self.cpu = cpu_seconds(self.pid) - self.cpu_start
        self.seconds = time.monotonic() - self.started

    def _run(self):
        while not self._stop.is_set():
            try:
                now = resources(self.pid)
            except (OSError, StopIteration):
                return
            for key in self.peak:
                self.peak[key] = max(self.peak[key], now[key])
            self._stop.wait(self.interval)

    def summary(self):
        return (f"peak {self.peak['memory KiB'] / 1024:.1f} MiB resident, "
                f"peak {self.peak['descriptors']} descriptors, "
                f"{100 * self.cpu / max(self.seconds, 1e-6):.1f} % of a core")


def pour_into_local_talk(seconds, streams=4, port=LOCAL_TALK_PORT):
    """`streams` clients pour data into Local Talk for `seconds`, each connecting again whenever
    the monitor closes it. Returns (bytes sent, connections made)."""
    deadline = time.monotonic() + seconds
    totals = {"bytes": 0, "connections": 0}
    lock = threading.Lock()
    chunk = b"SELECTSKIN:" + b"x" * 65525

    def stream():
        sent = connections = 0
        while time.monotonic() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=1) as client:
                    connections += 1
                    while time.monotonic() < deadline:
                        sent += client.send(chunk)
            except OSError:
                time.sleep(0.01)  # closed by the monitor: the next connection
        with lock:
            totals["bytes"] += sent
            totals["connections"] += connections

    threads = [threading.Thread(target=stream) for _ in range(streams)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return totals["bytes"], totals["connections"]


def raise_descriptor_limit(needed):
    """Lets this process hold `needed` more descriptors, as far as the hard limit allows."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    wanted = needed + 256
    if soft < wanted:
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(wanted, hard), hard))


class Crowd:
    """`count` idle clients connected to Local Talk at once, held until the crowd is left."""

    def __init__(self, count, port=LOCAL_TALK_PORT):
        raise_descriptor_limit(count)
        self.clients = []
        for _ in range(count):
            client = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            client.setblocking(False)
            client.connect_ex(("127.0.0.1", port))
            self.clients.append(client)

    def closed_by_monitor(self):
        """How many the monitor has closed (an end or a reset) so far."""
        closed = 0
        for client in self.clients:
            try:
                if client.recv(1) == b"":
                    closed += 1
            except BlockingIOError:
                pass
            except OSError as error:
                closed += error.errno != errno.ENOTCONN
        return closed

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for client in self.clients:
            client.close()


def select_skin(name, port=LOCAL_TALK_PORT):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
        client.sendall(b"SELECTSKIN:" + name.encode())
