"""A private D-Bus session bus for the program, with the test helper as a StatusNotifierItem
tray host on it."""

import contextlib
import os
import queue
import subprocess
import threading

from harness import E2EError, Pulsmir, wait_until


class SessionBus:
    """A private D-Bus session bus with the test helper as the StatusNotifierItem tray host,
    started with the bus or later (`with_host=False`, then `start_host()`); a `silent` host owns
    the watcher's name and never answers."""

    def __init__(self, folder, with_host=True, silent=False):
        self.address = "unix:path=" + os.path.join(os.path.dirname(folder.path), "bus")
        self._daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + self.address],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.host = None
        try:
            wait_until(lambda: os.path.exists(self.address[len("unix:path="):]), timeout=10,
                       what="the session bus")
            if with_host:
                self.start_host(silent)
        except BaseException:
            self.stop()
            raise

    def start_host(self, silent=False):
        helper = os.path.join(os.environ["PULSMIR_E2E_HELPERS"], "pulsmir_sni_host")
        self.host = subprocess.Popen([helper] + (["--silent"] if silent else []), env=self.env(), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, bufsize=1)
        self._lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.expect_line("ready")

    def env(self):
        return dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)

    def _read(self):
        for line in self.host.stdout:
            self._lines.put(line.strip())

    def expect_line(self, prefix, timeout=30):
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            raise E2EError(f"the tray host did not say {prefix!r}")
        if not line.startswith(prefix):
            raise E2EError(f"tray host said {line!r}, expected {prefix!r}")
        return line

    def click(self, label):
        self.host.stdin.write(f"click {label}\n")
        self.expect_line("clicked ")

    def icon_pixmaps(self):
        """The pictures the icon offers the panel: {size: ARGB bytes}."""
        self.host.stdin.write("icon\n")
        pixmaps = {}
        while True:
            line = self.expect_line("")
            if line == "end":
                return pixmaps
            _, width, height, argb = line.split(" ")
            pixmaps[(int(width), int(height))] = bytes.fromhex(argb)

    def activate(self):
        """A left click on the icon, as a panel sends it."""
        self.host.stdin.write("activate\n")
        self.expect_line("activated")

    def stop(self):
        for process in (self.host, self._daemon):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


@contextlib.contextmanager
def in_the_tray_on_a_bus(desktop, folder, with_host=True, silent=False, **settings):
    """The program started for the tray, in English and without a splash or pings, on a session
    bus of its own (as SessionBus takes `with_host` and `silent`); yields the bus and the
    program, and stops the bus however the case ends."""
    bus = SessionBus(folder, with_host=with_host, silent=silent)
    try:
        folder.settings(**{"ResourceName": "English", "NoSplash": 1, "PingEnable": 0,
                           "InTasktray": 1, **settings})
        yield bus, Pulsmir(desktop, folder, env={"DBUS_SESSION_BUS_ADDRESS": bus.address})
    finally:
        bus.stop()
