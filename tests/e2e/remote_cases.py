"""Another machine's figures in --status: Debian's real node exporter on this machine must give
what the local readers give, and an exporter that goes away must show as a lost connection
while the run still ends. Each case runs in a network namespace of its own."""

import os
import socket
import struct
import subprocess
import threading
import time
import urllib.parse
import urllib.request

from faults import isolate_network
from fetch_cases import NODE_EXPORTER, PouringServer, free_port, pour_without_end
from harness import Pulsmir, Skip, skin_region, wait_until, window_geometry
from monitor_cases import drawn_share, install_skin, region_size
from option_cases import options_open_and_close
from shell_cases import expect

# Far beyond a run of a few snapshots a second apart: only a run that hangs meets it.
RUN_LIMIT_S = 60


def _start_exporter(folder, port=None):
    """Debian's node exporter on `port` (a free one by default), in a network of the case's own."""
    if not os.access(NODE_EXPORTER, os.X_OK):
        raise Skip(f"{NODE_EXPORTER} is missing (Debian's prometheus-node-exporter)")
    isolate_network()
    port = port or free_port()
    log = open(folder.file("exporter.log"), "wb")
    exporter = subprocess.Popen([NODE_EXPORTER, f"--web.listen-address=127.0.0.1:{port}"],
                                stdout=log, stderr=log)
    log.close()
    wait_until(lambda: exporter.poll() is not None or socket.socket().connect_ex(
        ("127.0.0.1", port)) == 0, timeout=20, what="the node exporter's port")
    expect(exporter.poll() is None, "the node exporter ended: " +
           open(folder.file("exporter.log"), errors="replace").read()[-2000:])
    return exporter, f"http://127.0.0.1:{port}/metrics"


PROMETHEUS = "/usr/bin/prometheus"


def _start_prometheus(folder, exporter_url):
    """Debian's Prometheus scraping the exporter each second; returned once its queries answer
    with rates, which take a few scrapes."""
    if not os.access(PROMETHEUS, os.X_OK):
        raise Skip(f"{PROMETHEUS} is missing (Debian's prometheus)")
    target = urllib.parse.urlsplit(exporter_url).netloc
    config = folder.file("prometheus.yml")
    with open(config, "w") as out:
        out.write("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                  "scrape_configs:\n  - job_name: node\n    static_configs:\n"
                  f"      - targets: ['{target}']\n")
    port = free_port()
    log = open(folder.file("prometheus.log"), "wb")
    server = subprocess.Popen([PROMETHEUS, f"--config.file={config}",
                               f"--storage.tsdb.path={folder.file('tsdb')}",
                               f"--web.listen-address=127.0.0.1:{port}"],
                              stdout=log, stderr=log)
    log.close()
    base = f"http://127.0.0.1:{port}"
    query = urllib.parse.quote("sum(rate(node_cpu_seconds_total[1m]))")

    def answers():
        expect(server.poll() is None, "prometheus ended: " +
               open(folder.file("prometheus.log"), errors="replace").read()[-2000:])
        try:
            with urllib.request.urlopen(f"{base}/api/v1/query?query={query}", timeout=2) as r:
                return b'"value"' in r.read()
        except OSError:
            return False
    try:
        wait_until(answers, timeout=40, what="prometheus's first rates")
    except BaseException:
        server.kill()
        raise
    return server, base


def _prepare(folder, **keys):
    if not os.path.exists(folder.file("Skin/Golden.ini")):
        install_skin(folder)  # the core samples once a skin is loaded
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden", **keys)


def _status(desktop, folder, *options):
    """Starts `pulsmir --status` with the options; its output comes a line at a time."""
    env = desktop.env({"PULSMIR_HOME": folder.path, "XDG_RUNTIME_DIR": folder.runtime})
    return subprocess.Popen([os.path.join(folder.bin_dir, "pulsmir"), "--status", *options],
                            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)


def _remote_and_local_status(desktop, folder, count, source):
    """`--status` of the source and of this machine side by side, so that both see the same
    seconds of the machine's load: their return codes and outputs."""
    remote = _status(desktop, folder, "--count", str(count), "--source", source)
    local = _status(desktop, folder, "--count", str(count))
    remote_out, _ = remote.communicate(timeout=RUN_LIMIT_S)
    local_out, _ = local.communicate(timeout=RUN_LIMIT_S)
    return remote.returncode, remote_out, local.returncode, local_out


def _figures(output, word):
    return [int(line.split(":", 1)[1].split("%")[0]) for line in output.splitlines()
            if line.startswith(f" {word} :")]


def remote_figures_agree_with_the_local_ones(desktop, folder):
    _prepare(folder)
    exporter, url = _start_exporter(folder)
    try:
        remote_code, remote_out, local_code, local_out = _remote_and_local_status(
            desktop, folder, 5, url)
    finally:
        exporter.terminate()
        exporter.wait(timeout=10)
    expect(remote_code == 0 and local_code == 0,
           f"status runs ended with {remote_code}, {local_code}")
    expect(" Machine : 127.0.0.1" in remote_out.splitlines(), f"no machine named: {remote_out}")
    expect("connection lost" not in remote_out, f"the exporter was not read: {remote_out}")
    for word, tolerance in (("CPU", 20), ("MEM", 2)):
        mine, theirs = _figures(local_out, word), _figures(remote_out, word)
        expect(len(mine) == 5 and len(theirs) == 5, f"{word} lines: {mine} {theirs}")
        expect(abs(sum(mine) / 5 - sum(theirs) / 5) <= tolerance,
               f"{word} here {mine}, through the exporter {theirs}")


def lost_exporter_shows_as_a_lost_connection(desktop, folder):
    _prepare(folder)
    exporter, url = _start_exporter(folder)
    run = _status(desktop, folder, "--count", "4", "--source", url)
    try:
        first = ""
        for line in run.stdout:
            first += line
            if not line.strip():
                break
        exporter.terminate()
        exporter.wait(timeout=10)
        rest, _ = run.communicate(timeout=RUN_LIMIT_S)
    finally:
        if exporter.poll() is None:
            exporter.kill()
        run.kill()
    expect("connection lost" not in first, f"lost before the exporter went: {first}")
    expect(run.returncode == 0, f"the run ended with {run.returncode}")
    expect("Machine : 127.0.0.1 connection lost (connection refused)" in rest,
           f"the loss is not told: {rest}")


def _endless_reply(desktop, folder, address):
    _prepare(folder)
    isolate_network()
    endless = PouringServer(pour_without_end)
    run = _status(desktop, folder, "--count", "2", "--source", address.format(endless.port))
    try:
        output, _ = run.communicate(timeout=RUN_LIMIT_S)
    finally:
        run.kill()
    expect(run.returncode == 0, f"the run ended with {run.returncode}")
    expect("connection lost (reply too large)" in output, f"the loss is not told: {output}")


def endless_reply_shows_as_a_lost_connection(desktop, folder):
    _endless_reply(desktop, folder, "http://127.0.0.1:{}/metrics")


def endless_query_reply_shows_as_a_lost_connection(desktop, folder):
    """A Prometheus server's query that never ends is cut off as an exporter's reply is."""
    _endless_reply(desktop, folder, "prometheus+http://127.0.0.1:{}/?job=node")


def remote_window_lives_through_a_silent_exporter(desktop, folder):
    """A window whose machine accepts and never answers: it starts, says the connection is lost,
    its options open and close, and SIGTERM ends it; its settings, which name a token file, are
    left readable by their owner only."""
    isolate_network()
    stop = threading.Event()
    silent = PouringServer(lambda connection: stop.wait(60))
    token = folder.file("nas.token")
    with open(token, "w") as handle:
        handle.write("not-for-the-log\n")
    _prepare(folder, Source=f"http://127.0.0.1:{silent.port}/metrics", SourceTokenFile=token)
    try:
        program = Pulsmir(desktop, folder)
        folder.wait_for_log("Application Running...")
        folder.wait_for_log("(Source) 127.0.0.1: connection lost (timed out)")
        options_open_and_close(desktop)
        expect(program.terminate(timeout=20) == 0, f"exit: {program.stderr}")
    finally:
        stop.set()
    expect(not any("not-for-the-log" in line for line in folder.log_lines()), "the token was logged")
    mode = os.stat(folder.file("Pulsmir.ini")).st_mode & 0o777
    expect(mode == 0o600, f"the settings naming a token file are {oct(mode)}")


def window_started_before_its_exporter_takes_in_its_machine(desktop, folder):
    """The machine is not there yet when the window starts: its processors, disks and
    interfaces are taken in when its exporter first answers, without a restart."""
    isolate_network()
    port = free_port()
    _prepare(folder, Source=f"http://127.0.0.1:{port}/metrics")
    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    expect(any("CPU Count Error" in line for line in folder.log_lines()),
           "processors counted before the machine answered")
    exporter, _ = _start_exporter(folder, port)
    try:
        folder.wait_for_log("(PerfCore) The machine's processors, disks or interfaces changed",
                            timeout=RUN_LIMIT_S)
        folder.wait_for_log(f"(PerfCore) Number of CPU : {os.cpu_count()}")
        folder.wait_for_log("(PerfCore) Object/Counter :PhysicalDisk / Disk Read Bytes/sec ... ok")
        folder.wait_for_log("(PerfCore) Object/Counter :Network Interface / Bytes Received/sec"
                            " ... ok")
        expect(program.terminate() == 0, f"exit: {program.stderr}")
    finally:
        exporter.terminate()
        exporter.wait(timeout=10)


def status_of_a_named_instance_reads_its_settings(desktop, folder):
    """`--status --instance nas` shows the machine nas's settings name, not this one."""
    isolate_network()
    _prepare(folder)
    gone = f"http://127.0.0.1:{free_port()}/metrics"
    folder.settings(file="Pulsmir-nas.ini", ResourceName="English", NoSplash=1,
                    CurrentSkinName="Golden", Source=gone)
    run = _status(desktop, folder, "--instance", "nas")
    try:
        output, _ = run.communicate(timeout=RUN_LIMIT_S)
    finally:
        run.kill()
    expect(run.returncode == 0, f"the run ended with {run.returncode}: {output}")
    expect(" Machine : 127.0.0.1 connection lost (connection refused)" in output.splitlines(),
           f"not the instance's source: {output}")


def this_machine_and_an_exporter_side_by_side(desktop, folder):
    """Two windows at once, this machine's and, as the instance "nas", the exporter's: each is
    drawn in its place and named in its title, and the exporter's is read."""
    exporter, url = _start_exporter(folder)
    try:
        skin = folder.file("Skin/Golden.ini")
        _prepare(folder, SkinMode=1, PosX=100, PosY=100)
        folder.settings(file="Pulsmir-nas.ini", ResourceName="English", NoSplash=1,
                        CurrentSkinName="Golden", SkinMode=1, PosX=500, PosY=100, Source=url)
        here = Pulsmir(desktop, folder)
        nas = Pulsmir(desktop, folder, ["--instance", "nas"])
        folder.wait_for_log("Application Running...", count=2)
        size = region_size(skin_region(folder.bin_dir, skin, "full"))
        windows = {}
        for title in ("Pulsmir", "Pulsmir nas"):
            windows[title] = wait_until(
                lambda: next((w for w in desktop.windows(f"^{title}$")
                              if desktop.is_viewable(w)
                              and window_geometry(desktop, w)[2:] == size), None),
                what=f"the window {title!r}")
        time.sleep(1.5)  # a few of the exporter's replies
        desktop.screenshot(folder.file("side_by_side.png"))
        places = {title: window_geometry(desktop, w)[:2] for title, w in windows.items()}
        expect(places == {"Pulsmir": (100, 100), "Pulsmir nas": (500, 100)},
               f"not side by side: {places}")
        for title, window in windows.items():
            share, _ = drawn_share(desktop, window, skin_region(folder.bin_dir, skin, "full"))
            expect(share > 0.8, f"only {share:.0%} of {title!r} is drawn")
        lines = folder.log_lines()
        expect(f"(Source) Figures from {url}" in lines, "the instance does not read the exporter")
        expect(not any("connection lost" in line for line in lines), "the exporter's window lost it")
        expect(here.terminate() == 0 and nas.terminate() == 0, "exit")
    finally:
        exporter.terminate()
        exporter.wait(timeout=10)


def _drip(connection):
    while True:
        connection.sendall(b"#")
        time.sleep(0.2)


def _reset(connection):
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


# Each server as PouringServer's pour and head.
HOSTILE_SERVERS = {
    "endless": (pour_without_end, b"HTTP/1.1 200 OK\r\n\r\n"),
    "slow drip": (_drip, b"HTTP/1.1 200 OK\r\n\r\n"),
    "huge": (pour_without_end, b"HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n"),
    "garbage": (lambda c: None, b"\x00\xffSSH-2.0-not http\r\n" + bytes(range(256)) * 64),
    "reset": (_reset, b""),
    "redirect loop": (lambda c: None,
                      b"HTTP/1.1 302 Found\r\nLocation: /metrics\r\nContent-Length: 0\r\n\r\n"),
}


def remote_window_answers_hostile_servers(desktop, folder):
    """A window whose source is each hostile server in turn: it says why it has no figures, its
    options open and close while the server goes on, and SIGTERM ends it. The times are printed
    to be reported, after those of a window of this machine to compare with; the bounds only
    catch a hang."""
    isolate_network()
    lost = "(Source) 127.0.0.1: connection lost ("
    for kind, server in [("this machine", None), *HOSTILE_SERVERS.items()]:
        _prepare(folder, Source=f"http://127.0.0.1:{PouringServer(*server).port}/metrics"
                 if server else "")
        runs = folder.log_lines().count("Application Running...")
        losses = sum(line.startswith(lost) for line in folder.log_lines())
        program = Pulsmir(desktop, folder)
        folder.wait_for_log("Application Running...", count=runs + 1)
        if server:
            wait_until(lambda: sum(line.startswith(lost) for line in folder.log_lines()) > losses,
                       timeout=RUN_LIMIT_S, what=f"the {kind} server's loss")
        started = time.monotonic()
        options_open_and_close(desktop)
        answered = time.monotonic() - started
        with open(f"/proc/{program.process.pid}/status") as status:
            peak = next(line.split()[1] for line in status if line.startswith("VmHWM:"))
        started = time.monotonic()
        expect(program.terminate(timeout=10) == 0, f"exit: {program.stderr}")
        ended = time.monotonic() - started
        reason = [line for line in folder.log_lines()
                  if line.startswith(lost)][-1][len(lost):-1] if server else "its own figures"
        print(f"{kind}: {reason}; options opened and closed in {answered * 1000:.0f} ms, "
              f"exit {ended * 1000:.0f} ms after SIGTERM, peak {peak} KiB resident")


def prometheus_queries_give_the_machines_figures(desktop, folder):
    _prepare(folder)
    exporter, url = _start_exporter(folder)
    try:
        server, base = _start_prometheus(folder, url)
        try:
            remote_code, remote_out, _, local_out = _remote_and_local_status(
                desktop, folder, 4, f"prometheus+{base}/?job=node")
        finally:
            server.terminate()
            server.wait(timeout=20)
    finally:
        exporter.terminate()
        exporter.wait(timeout=10)
    expect(remote_code == 0, f"the status run ended with {remote_code}")
    expect("connection lost" not in remote_out, f"the server was not read: {remote_out}")
    cpu, mine, theirs = (_figures(remote_out, "CPU"), _figures(local_out, "MEM"),
                         _figures(remote_out, "MEM"))
    expect(len(cpu) == 4 and all(0 <= c <= 100 for c in cpu), f"CPU lines: {remote_out}")
    expect(len(mine) == 4 and len(theirs) == 4, f"MEM lines: {mine} {theirs}")
    expect(abs(sum(mine) / 4 - sum(theirs) / 4) <= 5,
           f"MEM here {mine}, through the server {theirs}")


def a_local_window_maps_no_http_library(desktop, folder):
    """libcurl and the TLS, Kerberos and LDAP libraries under it (some 5 MiB resident) are loaded
    at a remote window's first fetch, never by a window of this machine."""
    _prepare(folder)
    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    with open(f"/proc/{program.process.pid}/maps") as maps:
        mapped = [line.split()[-1] for line in maps if "libcurl" in line]
    expect(not mapped, f"a local window maps {sorted(set(mapped))}")
    expect(program.terminate() == 0, "exit")

