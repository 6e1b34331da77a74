"""A desktop-mascot host for the end-to-end cases: it listens for SSTP on 127.0.0.1 (port 9801,
where the program sends), records every connection's bytes with the time they ended, and answers
the way hosts on Linux do: EXECUTE only as SSTP/1.0 (1.1 gets 501), commands that return
nothing answered with "SSTP/1.0 200 OK" and the empty line alone, the connection kept open
after the reply until the client closes it. PouringHost answers every request with a reply
that never ends."""

import socket
import threading
import time

SSTP_PORT = 9801


class SstpHost:
    def __init__(self, name="Emily", version="2.6.1", port=SSTP_PORT, refuse_execute_11=True):
        self.name = name
        self.version = version
        self.refuse_execute_11 = refuse_execute_11
        self.requests = []  # (time the connection ended, bytes)
        self._lock = threading.Lock()
        self._server = socket.socket()
        self._server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            self._server.bind(("127.0.0.1", port))
        except OSError as error:
            self._server.close()
            raise AssertionError(f"cannot listen on 127.0.0.1:{port} for SSTP ({error}); "
                                 "is a mascot host running on this machine?")
        self._server.listen(8)
        self._server.settimeout(0.2)
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        self._stopping.set()
        self._thread.join(timeout=5)
        self._server.close()

    def connections(self):
        with self._lock:
            return list(self.requests)

    def commands(self):
        """Each request as "SEND <script>" or "EXECUTE <version> <command>"."""
        return [describe(data) for _, data in self.connections()]

    def _serve(self):
        while not self._stopping.is_set():
            try:
                connection, _ = self._server.accept()
            except socket.timeout:
                continue
            with connection:
                data = self._converse(connection)
            with self._lock:
                self.requests.append((time.monotonic(), data))

    def _converse(self, connection):
        connection.settimeout(0.2)
        data = b""
        deadline = time.monotonic() + 10
        while b"\r\n\r\n" not in data and time.monotonic() < deadline:
            chunk = self._receive(connection)
            if chunk is None:
                continue
            if not chunk:
                return data
            data += chunk
        connection.sendall(self.reply(data))
        # Kept open until the client has read the reply and closes.
        while time.monotonic() < deadline and not self._stopping.is_set():
            chunk = self._receive(connection)
            if chunk == b"":
                break
            if chunk:
                data += chunk
        return data

    @staticmethod
    def _receive(connection):
        try:
            return connection.recv(4096)
        except socket.timeout:
            return None

    def reply(self, request):
        first = request.split(b"\r\n", 1)[0]
        if first.startswith(b"EXECUTE"):
            if first == b"EXECUTE SSTP/1.1" and self.refuse_execute_11:
                return b"SSTP/1.1 501 Not Implemented\r\n\r\n"
            if b"Command: getname" in request:
                return b"SSTP/1.0 200 OK\r\nCharset: UTF-8\r\n\r\n" + self.name.encode() + b"\r\n\r\n"
            if b"Command: getversion" in request:
                return (b"SSTP/1.0 200 OK\r\nCharset: UTF-8\r\n\r\n" + self.version.encode() +
                        b"\r\n\r\n")
            # Quiet, Restore and the like return nothing: the status line and the empty line.
            return b"SSTP/1.0 200 OK\r\n\r\n"
        return b"SSTP/1.4 200 OK\r\nCharset: UTF-8\r\n\r\n"


def describe(data):
    lines = data.decode("cp932", errors="replace").split("\r\n")
    if lines[0].startswith("SEND"):
        script = next((line[len("Script: "):] for line in lines if line.startswith("Script: ")), "")
        return "SEND " + script
    command = next((line[len("Command: "):] for line in lines if line.startswith("Command: ")), "?")
    return lines[0] + " " + command


class PouringHost:
    """A hostile host on the SSTP port: every request gets a status line and then filler
    without end (or `total` bytes of it), until the client goes."""

    def __init__(self, port=SSTP_PORT, total=None):
        self.total = total
        self.poured = 0
        self.connections = 0
        self._server = socket.socket()
        self._server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._server.bind(("127.0.0.1", port))
        self._server.listen(8)
        self._server.settimeout(0.2)
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self._stopping.set()
        self._thread.join(timeout=10)
        self._server.close()

    def _serve(self):
        chunk = b"x" * 65536
        while not self._stopping.is_set():
            try:
                connection, _ = self._server.accept()
            except socket.timeout:
                continue
            self.connections += 1
            with connection:
                connection.settimeout(1)
                try:
                    # A status line, then one line that never ends: no rule can take it as whole.
                    connection.sendall(b"SSTP/1.4 200 OK\r\n")
                    sent = 0
                    while not self._stopping.is_set() and (self.total is None or sent < self.total):
                        try:
                            n = connection.send(chunk)
                        except socket.timeout:
                            continue
                        sent += n
                        self.poured += n
                except OSError:
                    pass
