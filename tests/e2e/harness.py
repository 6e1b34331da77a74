"""Drives the real pulsmir under a virtual X display.

Starts Xvfb and openbox on a free display, makes a temporary program folder from build/bin,
starts pulsmir there, answers its message boxes with xdotool, waits for lines of Debug.log,
inspects windows with xwininfo and xprop, and stops only the processes it started.
"""

import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

DEFAULT_TIMEOUT = 30.0
DEFAULT_SKIN = "System Analog Meter II(for2.2)"


class E2EError(AssertionError):
    pass


class Skip(Exception):
    """The case cannot run on this machine; the reason is the message."""


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.02, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise E2EError(f"timed out after {timeout:.1f}s waiting for {what}")
        time.sleep(interval)


class Desktop:
    """Xvfb with openbox on the first free display number."""

    def __init__(self, width=1280, height=800, depth=24):
        self.width = width
        self.height = height
        self.depth = depth
        self.display = None
        self._processes = []
        self.start_limit = 30.0  # seconds each part of the start may take

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self, attempts=3, limit=30.0):
        """Starts the X server and the window manager. A busy machine may be slow to bring
        either up: a failed start is stopped completely and tried afresh, and what was started
        is stopped when the last attempt fails too."""
        self.start_limit = limit
        for attempt in range(1, attempts + 1):
            try:
                self.start_x_server()
                self.start_window_manager()
                return
            except Exception as error:
                self.stop()
                if attempt == attempts:
                    raise E2EError(f"the desktop did not start in {attempts} attempts: {error}")
            except BaseException:
                self.stop()
                raise

    def start_x_server(self):
        # Xvfb picks a free display itself and reports its number through a pipe.
        read_end, write_end = os.pipe()
        try:
            xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{self.width}x{self.height}x{self.depth}", "-br", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        finally:
            os.close(write_end)
        self._processes.append(xvfb)
        number = b""
        deadline = time.monotonic() + self.start_limit
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                if remaining <= 0 or not select.select([pipe], [], [], remaining)[0]:
                    raise E2EError(f"Xvfb gave no display number within {self.start_limit:.0f}s")
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            raise E2EError("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def start_window_manager(self):
        wm = self.spawn(["openbox", "--sm-disable"])
        self.wait_for_window_manager("openbox", process=wm)

    def wait_for_window_manager(self, name, timeout=None, process=None):
        """Waits for the window manager to announce itself; a window manager that exits
        first fails at once."""
        def ready():
            if process is not None and process.poll() is not None:
                raise E2EError(f"{name} exited with {process.returncode}")
            return "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)

        wait_until(ready, timeout=max(timeout or 0, self.start_limit), interval=0.1, what=name)

    def stop(self):
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self._processes.clear()

    def spawn(self, command, env=None):
        """Starts a client on this display; it is stopped with the desktop."""
        process = subprocess.Popen(command, env=env or self.env(), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self._processes.append(process)
        return process

    def start_tray_host(self):
        """trayer as the notification area, docked at the bottom; returns its window."""
        self.spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                    "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true",
                    "--transparent", "false"])
        return wait_until(lambda: next(iter(self.windows("^panel$")), None), timeout=20,
                          what="the tray host")

    def env(self, extra=None):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        # An X11 session, even when the tests run from inside a Wayland one.
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("XDG_SESSION_TYPE", None)
        if extra:
            env.update(extra)
        return env

    def run(self, command, check=True):
        result = subprocess.run(command, env=self.env(), capture_output=True, text=True, timeout=20)
        if check and result.returncode != 0:
            raise E2EError(f"{command} failed: {result.stderr.strip()}")
        return result.stdout

    def windows(self, name_regex):
        out = self.run(["xdotool", "search", "--name", name_regex], check=False)
        return [int(w) for w in out.split()]

    def window_name(self, window):
        return self.run(["xdotool", "getwindowname", str(window)], check=False).strip()

    def window_info(self, window):
        return self.run(["xwininfo", "-id", str(window)], check=False)

    def is_viewable(self, window):
        return "Map State: IsViewable" in self.window_info(window)

    def window_property(self, window, name):
        return self.run(["xprop", "-id", str(window), name], check=False).strip()

    def boxes(self, title="Pulsmir - "):
        """The viewable windows whose title starts with `title`. xdotool's pattern does not
        match a title beyond ASCII (a Japanese one), so such a title is compared here."""
        if title.isascii():
            named = self.windows("^" + re.escape(title))
        else:
            named = [w for w in self.windows(".") if self.window_name(w).startswith(title)]
        return [w for w in named if self.is_viewable(w)]

    def wait_box(self, title="Pulsmir - ", timeout=DEFAULT_TIMEOUT):
        """Waits for a viewable box whose title starts with `title`; returns its window."""
        return wait_until(lambda: next(iter(self.boxes(title)), None), timeout=timeout,
                          what=f"a box titled {title!r}")

    def answer_box(self, title="Pulsmir - ", key="Return", timeout=DEFAULT_TIMEOUT):
        """Waits for a viewable message box whose title starts with `title`, answers it and
        waits until it is gone. Returns the box's title."""
        window = self.wait_box(title, timeout)
        name = self.window_name(window)
        # A box may not take the focus at once; press again until it is gone.
        deadline = time.monotonic() + timeout
        while self.is_viewable(window):
            if time.monotonic() > deadline:
                raise E2EError(f"box {name!r} did not close")
            self.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)
            self.run(["xdotool", "windowfocus", "--sync", str(window)], check=False)
            self.run(["xdotool", "key", key], check=False)
            try:
                wait_until(lambda: not self.is_viewable(window), timeout=1.0)
            except E2EError:
                pass
        return name

    def screenshot(self, path):
        self.run(["import", "-window", "root", path])

    def screen_ppm(self):
        return subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              env=self.env(), capture_output=True, timeout=20, check=True).stdout

    # The same interface as other desktops (sway_desktop.SwayDesktop), whose programs may run as
    # another user: here they run as they are.
    def command(self, command):
        return list(command)

    def adopt(self, path):
        pass

    def executable(self, path, folder):
        return path


class ProgramFolder:
    """A temporary program folder made from the build's program folder (data files only: the
    executables run from the build, with PULSMIR_HOME pointing here)."""

    def __init__(self, bin_dir, with_debug_log=True, copy_data=True):
        self.bin_dir = os.path.abspath(bin_dir)
        self._tmp = tempfile.TemporaryDirectory(prefix="pulsmir-e2e-")
        self.path = os.path.join(self._tmp.name, "home")
        self.runtime = os.path.join(self._tmp.name, "runtime")
        self.config = os.path.join(self._tmp.name, "config")
        self.data = os.path.join(self._tmp.name, "data")
        self.user_home = os.path.join(self._tmp.name, "user")
        os.makedirs(self.path)
        os.makedirs(self.runtime, mode=0o700)
        os.makedirs(self.config)
        os.makedirs(self.data)
        os.makedirs(self.user_home)
        if copy_data:
            for entry in os.listdir(self.bin_dir):
                source = os.path.join(self.bin_dir, entry)
                if os.path.isdir(source):
                    shutil.copytree(source, os.path.join(self.path, entry))
                elif not os.access(source, os.X_OK) or entry.endswith((".lng", ".prs", ".ini")):
                    shutil.copy2(source, os.path.join(self.path, entry))
        if with_debug_log:
            open(self.log_path, "w").close()

    def cleanup(self):
        self._tmp.cleanup()

    @property
    def root(self):
        """The folder that holds the program folder and its XDG folders."""
        return self._tmp.name

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()

    def file(self, name):
        return os.path.join(self.path, name)

    @property
    def log_path(self):
        return self.file("Debug.log")

    def write(self, name, text):
        with open(self.file(name), "w", encoding="utf-8", newline="") as handle:
            handle.write(text)

    def read(self, name):
        with open(self.file(name), encoding="utf-8", errors="replace", newline="") as handle:
            return handle.read()

    def exists(self, name):
        return os.path.exists(self.file(name))

    def log_lines(self):
        if not self.exists("Debug.log"):
            return []
        lines = []
        for line in self.read("Debug.log").split("\r\n"):
            if line:
                if not line.startswith("<"):
                    raise E2EError(f"log line without a time stamp: {line!r}")
                lines.append(line[line.index("> ") + 2:])
        return lines

    def wait_for_log(self, text, count=1, timeout=DEFAULT_TIMEOUT):
        wait_until(lambda: self.log_lines().count(text) >= count, timeout=timeout,
                   what=f"log line {text!r} (x{count})")

    def ini_value(self, name, section, key):
        current = None
        for line in self.read(name).splitlines():
            stripped = line.strip()
            if stripped.startswith("["):
                current = stripped[1:stripped.find("]")].lower()
            elif current == section.lower() and "=" in stripped:
                k, v = stripped.split("=", 1)
                if k.strip().lower() == key.lower():
                    return v.strip()
        return None

    def settings(self, file="Pulsmir.ini", **keys):
        """Writes a Pulsmir.ini (or `file`) with the given keys of [Pulsmir2], current
        generation."""
        keys.setdefault("Version", 220)
        keys.setdefault("CurrentSkinName", DEFAULT_SKIN)
        # Pings never leave the machine in tests.
        keys.setdefault("PingHost", "127.0.0.1")
        keys.setdefault("UseDefaultGateway", 0)
        body = "".join(f"{k}={v}\r\n" for k, v in keys.items())
        self.write(file, "[Pulsmir2]\r\n" + body + "\r\n[Pulsmir2_EventSound]\r\n")


class Pulsmir:
    """One running pulsmir process of a program folder on a desktop."""

    def __init__(self, desktop, folder, args=(), env=None, preexec=None):
        self.desktop = desktop
        self.folder = folder
        program = os.path.join(folder.bin_dir, "pulsmir")
        environment = desktop.env({
            "PULSMIR_HOME": folder.path,
            "XDG_RUNTIME_DIR": folder.runtime,
            "XDG_CONFIG_HOME": folder.config,
            "XDG_DATA_HOME": folder.data,
            "HOME": folder.user_home,
            "LANG": "C.UTF-8",
        })
        environment.pop("LC_ALL", None)
        environment.pop("LC_MESSAGES", None)
        environment.pop("QT_QPA_PLATFORM", None)
        if env:
            environment.update(env)
        program = desktop.executable(program, folder)
        desktop.adopt(folder.root)
        self.started = time.monotonic()
        self.process = subprocess.Popen(desktop.command([program, *args]), env=environment,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                        preexec_fn=preexec)

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        try:
            out, err = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise E2EError("pulsmir did not exit")
        self.stdout, self.stderr = out, err
        return self.process.returncode

    def running(self):
        return self.process.poll() is None

    def terminate(self, timeout=DEFAULT_TIMEOUT):
        if self.running():
            self.process.send_signal(signal.SIGTERM)
        return self.wait_exit(timeout)

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()


def build_bin_dir():
    return os.environ.get("PULSMIR_BIN", os.path.join(os.path.dirname(__file__), "../../build/bin"))


def read_ppm(path_or_bytes):
    """Width, height and RGB bytes of a binary PPM (what `convert x ppm:-` writes)."""
    data = path_or_bytes
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    position += 1
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[position:position + width * height * 3]


def screen_pixels(desktop, x, y, width, height):
    """The screen's pixels in a rectangle as rows of (r, g, b)."""
    w, _, pixels = read_ppm(desktop.screen_ppm())
    return [[tuple(pixels[((y + row) * w + x + col) * 3:((y + row) * w + x + col) * 3 + 3])
             for col in range(width)] for row in range(height)]


def window_geometry(desktop, window):
    """Absolute x, y and the width and height of a window."""
    info = desktop.window_info(window)
    values = {}
    for line in info.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            if line.startswith(key + ":"):
                values[key] = int(line.split(":")[1])
    return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"],
            values["Height"])


def shape_extents(desktop, window):
    """The width and height of a window's outline (its shape's extents); None without one."""
    info = desktop.run(["xwininfo", "-id", str(window), "-shape"], check=False)
    found = re.search(r"Window shape extents:\s+(\d+)x(\d+)", info)
    return (int(found[1]), int(found[2])) if found else None


def skin_region(bin_dir, skin_file, mode):
    """The rectangles `pulsmir-skin region` gives for a skin's mode."""
    out = subprocess.run([os.path.join(bin_dir, "pulsmir-skin"), "region", skin_file, "--mode", mode],
                         capture_output=True, text=True, timeout=20, check=True).stdout
    return [tuple(int(v) for v in line.split()) for line in out.splitlines() if line.strip()]
