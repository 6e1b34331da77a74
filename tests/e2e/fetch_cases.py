"""HTTP fetches as the monitor makes them, through `pulsmir-perf fetch`: from Debian's real
node exporter, and from hostile servers. Each case runs in a network namespace of its own."""

import os
import socket
import subprocess
import threading

from faults import isolate_network
from harness import Skip, build_bin_dir, wait_until
from shell_cases import expect

NODE_EXPORTER = "/usr/bin/prometheus-node-exporter"
# The fetch keeps at most 8 MiB of a reply; the tool itself takes some 20.
MEMORY_LIMIT_KIB = 48 * 1024


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def fetch(url, *options):
    """The tool's exit status, its output (both streams) and its peak resident KiB."""
    with open(os.devnull) as nothing:
        tool = subprocess.Popen([os.path.join(build_bin_dir(), "pulsmir-perf"), "fetch", url,
                                 *options], stdin=nothing, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
    watchdog = threading.Timer(30, tool.kill)
    watchdog.start()
    output = tool.stdout.read().decode(errors="replace")
    _, status, usage = os.wait4(tool.pid, 0)
    watchdog.cancel()
    tool.returncode = os.waitstatus_to_exitcode(status)
    tool.stdout.close()
    return tool.returncode, output, usage.ru_maxrss


def node_exporter_metrics_through_the_tool(desktop, folder):
    if not os.access(NODE_EXPORTER, os.X_OK):
        raise Skip(f"{NODE_EXPORTER} is missing (Debian's prometheus-node-exporter)")
    isolate_network()
    port = free_port()
    with open(folder.file("exporter.log"), "wb") as log:
        exporter = subprocess.Popen([NODE_EXPORTER, f"--web.listen-address=127.0.0.1:{port}"],
                                    stdout=log, stderr=log)
    try:
        wait_until(lambda: exporter.poll() is not None or socket.socket().connect_ex(
            ("127.0.0.1", port)) == 0, timeout=20, what="the node exporter's port")
        expect(exporter.poll() is None, "the node exporter ended: " +
               open(folder.file("exporter.log"), errors="replace").read()[-2000:])
        body = folder.file("metrics.txt")
        code, output, _ = fetch(f"http://127.0.0.1:{port}/metrics", "--output", body)
        expect(code == 0, f"fetch failed: {output}")
        lines = output.splitlines()
        expect("status 200" in lines and f"size {os.path.getsize(body)}" in lines,
               f"not the status and the body's size: {output}")
        with open(body) as metrics:
            text = metrics.read()
        expect("node_cpu_seconds_total{" in text, "no node_cpu_seconds_total in the metrics")
    finally:
        exporter.terminate()
        exporter.wait(timeout=10)


class PouringServer:
    """Answers every connection after its request with `head` (a status line) and then
    `pour(connection)`."""

    def __init__(self, pour, head=b"HTTP/1.1 200 OK\r\n\r\n"):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.pour = pour
        self.head = head
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
            connection, _ = self.listener.accept()
            threading.Thread(target=self._answer, args=(connection,), daemon=True).start()

    def _answer(self, connection):
        with connection:
            try:
                connection.recv(65536)
                connection.sendall(self.head)
                self.pour(connection)
            except OSError:
                pass  # the client went, as it should


def pour_without_end(connection):
    while True:
        connection.sendall(b"x" * 65536)


def hostile_servers_end_the_fetch_with_the_reason(desktop, folder):
    isolate_network()
    stop = threading.Event()
    endless = PouringServer(pour_without_end)
    silent = PouringServer(lambda c: stop.wait(60))
    try:
        code, output, peak = fetch(f"http://127.0.0.1:{endless.port}/metrics")
        expect(code == 1 and "reply too large" in output, f"endless reply: {code} {output}")
        expect(peak < MEMORY_LIMIT_KIB, f"the fetch held {peak} KiB at its peak")
        code, output, _ = fetch(f"http://127.0.0.1:{silent.port}/metrics")
        expect(code == 1 and "timed out" in output, f"silent server: {code} {output}")
    finally:
        stop.set()
