"""Headless sway with Xwayland, as the desktop of the sway cases.

sway refuses to run as root, so under root the compositor, its clients and the program run as
the unprivileged user that scripts/install-deps.sh makes (pulsmir-e2e), each with a runtime
folder of its own. Input is real: wayvnc offers the compositor's virtual pointer, which this
module drives over the VNC protocol on a Unix socket, so sway sees the pointer as it sees a
mouse. Screenshots come from grim, window places from sway's own tree.
"""

import glob
import json
import os
import pwd
import re
import shutil
import socket
import struct
import subprocess
import tempfile
import time

from harness import E2EError, Skip, wait_until

TEST_USER = "pulsmir-e2e"


def _tool(name):
    if not shutil.which(name):
        raise Skip(f"{name} is not installed (scripts/install-deps.sh)")


class _Vnc:
    """The client side of RFB 3.8 without a framebuffer: pointer and key events only."""

    def __init__(self, path):
        self._socket = socket.socket(socket.AF_UNIX)
        self._socket.settimeout(10)
        self._socket.connect(path)
        if not self._read(12).startswith(b"RFB 003."):
            raise E2EError("wayvnc did not greet")
        self._socket.sendall(b"RFB 003.008\n")
        types = self._read(self._read(1)[0])
        if 1 not in types:
            raise E2EError(f"wayvnc asks for authentication {list(types)}")
        self._socket.sendall(bytes([1]))
        if struct.unpack(">I", self._read(4))[0] != 0:
            raise E2EError("wayvnc refused the connection")
        self._socket.sendall(b"\x01")  # shared
        self.width, self.height = struct.unpack(">HH", self._read(4))
        self._read(16)
        self._read(struct.unpack(">I", self._read(4))[0])
        self.buttons = 0
        self.x = self.y = 0

    def _read(self, count):
        data = b""
        while len(data) < count:
            chunk = self._socket.recv(count - len(data))
            if not chunk:
                raise E2EError("wayvnc hung up")
            data += chunk
        return data

    def pointer(self, x, y, buttons=None):
        if buttons is not None:
            self.buttons = buttons
        self.x, self.y = x, y
        self._socket.sendall(struct.pack(">BBHH", 5, self.buttons, max(x, 0), max(y, 0)))

    def close(self):
        self._socket.close()


class SwayDesktop:
    """sway on the headless backend with Xwayland, wayvnc for input, optionally waybar."""

    def __init__(self, width=1280, height=800, background="#3366cc"):
        self.width = width
        self.height = height
        self.background = background
        self.display = None
        self._processes = []
        self._vnc = None
        self._tmp = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    # Who runs on this desktop.

    def _user(self):
        if os.geteuid() != 0:
            return None
        try:
            return pwd.getpwnam(TEST_USER)
        except KeyError:
            raise Skip(f"sway does not run as root and the user {TEST_USER} is missing "
                       "(scripts/install-deps.sh makes it)")

    def command(self, command):
        """The command as the desktop's user runs it."""
        if self.user is None:
            return list(command)
        return ["setpriv", f"--reuid={self.user.pw_uid}", f"--regid={self.user.pw_gid}",
                "--clear-groups", "--", *command]

    def adopt(self, path):
        """Hands a folder tree to the desktop's user."""
        if self.user is None:
            return
        for root, dirs, files in os.walk(path):
            for name in [root] + [os.path.join(root, n) for n in dirs + files]:
                os.lchown(name, self.user.pw_uid, self.user.pw_gid)

    def executable(self, path, folder):
        """A program the desktop's user can run: a build below a folder closed to that user
        (a checkout under /root) is copied into the program's scratch folder."""
        if self.user is None or subprocess.run(self.command(["test", "-x", path])).returncode == 0:
            return path
        copy = os.path.join(folder.root, "exe", os.path.basename(path))
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copy2(path, copy)
        return copy

    def start(self):
        try:
            self._start()
        except BaseException:
            # Whatever had started goes with a failed start, as with a stop.
            self.stop()
            raise

    def _start(self):
        for tool in ("sway", "swaymsg", "swaybg", "grim", "wayvnc", "Xwayland", "dbus-daemon"):
            _tool(tool)
        self.user = self._user()
        self._tmp = tempfile.TemporaryDirectory(prefix="pulsmir-sway-")
        top = self._tmp.name
        os.chmod(top, 0o755)
        self.runtime = os.path.join(top, "runtime")
        self.home = os.path.join(top, "home")
        os.makedirs(self.runtime, mode=0o700)
        os.makedirs(self.home)
        config = os.path.join(top, "config")
        with open(config, "w") as handle:
            handle.write(f"output HEADLESS-1 mode {self.width}x{self.height} position 0 0 "
                         f"bg {self.background} solid_color\n"
                         "xwayland enable\n"
                         "focus_follows_mouse no\n")
        self.adopt(top)
        self._base_env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "LANG": "C.UTF-8",
        }
        self.bus = f"unix:path={self.runtime}/bus"
        self._spawn_raw(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                         f"--address={self.bus}"], self._base_env)
        wait_until(lambda: os.path.exists(f"{self.runtime}/bus"), timeout=20, what="the session bus")
        sway_env = dict(self._base_env, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                        WLR_RENDERER="pixman", DBUS_SESSION_BUS_ADDRESS=self.bus)
        log = open(os.path.join(top, "sway.log"), "w")
        self._sway = self._spawn_raw(["sway", "-c", config], sway_env, stderr=log)
        log.close()
        try:
            self.swaysock = wait_until(
                lambda: next(iter(glob.glob(f"{self.runtime}/sway-ipc.*.sock")), None),
                timeout=30, what="sway's IPC socket")
        except E2EError:
            with open(os.path.join(top, "sway.log")) as handle:
                raise Skip(f"sway did not start: {handle.read()[-2000:]}")
        self.wayland = os.path.basename(wait_until(
            lambda: next(iter(glob.glob(f"{self.runtime}/wayland-*[0-9]")), None), timeout=10,
            what="the Wayland socket"))
        # sway gives Xwayland's display to what it starts.
        marker = os.path.join(self.runtime, "display")
        self.swaymsg(f"exec 'echo $DISPLAY > {marker}'")
        self.display = wait_until(lambda: _read_stripped(marker), timeout=20, what="Xwayland's display")
        wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False), timeout=30,
            what="Xwayland and its window manager")
        vnc_socket = os.path.join(self.runtime, "vnc.sock")
        self.spawn(["wayvnc", "--unix-socket", vnc_socket])
        # The socket is the user's; root connects to it all the same.
        self._vnc = wait_until(lambda: _connect(vnc_socket), timeout=20, what="wayvnc")

    def stop(self):
        if self._vnc:
            self._vnc.close()
            self._vnc = None
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self._processes.clear()
        if self._tmp:
            self._tmp.cleanup()
            self._tmp = None

    def _spawn_raw(self, command, env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
        process = subprocess.Popen(self.command(command), env=env, stdout=stdout, stderr=stderr)
        self._processes.append(process)
        return process

    def spawn(self, command):
        """Starts a client of this desktop; it is stopped with the desktop."""
        return self._spawn_raw(command, self.env())

    def env(self, extra=None):
        env = dict(self._base_env)
        env.update({"DISPLAY": self.display or "", "WAYLAND_DISPLAY": self.wayland,
                    "SWAYSOCK": self.swaysock, "DBUS_SESSION_BUS_ADDRESS": self.bus})
        if extra:
            env.update(extra)
        return env

    def run(self, command, check=True, env=None):
        result = subprocess.run(self.command(command), env=env or self.env(), capture_output=True,
                                text=True, timeout=20)
        if check and result.returncode != 0:
            raise E2EError(f"{command} failed: {result.stderr.strip()}")
        return result.stdout

    def start_waybar(self):
        """waybar at the top: the taskbar of sway's windows and a StatusNotifierItem tray. Returns
        once its tray watches for items."""
        _tool("waybar")
        config = os.path.join(self._tmp.name, "waybar.json")
        with open(config, "w") as handle:
            json.dump({"layer": "top", "position": "top", "height": 26,
                       "modules-left": ["wlr/taskbar"], "modules-right": ["tray"],
                       "tray": {"icon-size": 18, "spacing": 4},
                       "wlr/taskbar": {"format": "{title}"}}, handle)
        # Buttons within the bar's height: a bar that grows when the window's button comes
        # moves sway's floating windows down with it, at a moment no case can tell.
        style = os.path.join(self._tmp.name, "waybar.css")
        with open(style, "w") as handle:
            handle.write("* { font-size: 10px; min-height: 0; margin: 0; padding: 0; "
                         "border: none; }\n")
        self.adopt(config)
        self.adopt(style)
        self.spawn(["waybar", "-c", config, "-s", style])
        wait_until(lambda: "true" in self.run(
            ["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner",
             "org.kde.StatusNotifierWatcher"], check=False), timeout=30, what="waybar's tray")

    def tray_items(self):
        """The StatusNotifierItems the tray shows, as the watcher lists them."""
        out = self.run(["gdbus", "call", "--session", "--dest", "org.kde.StatusNotifierWatcher",
                        "--object-path", "/StatusNotifierWatcher", "--method",
                        "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierWatcher",
                        "RegisteredStatusNotifierItems"], check=False)
        return re.findall(r"'([^']+)'", out)

    # What sway says.

    def swaymsg(self, *arguments):
        return json.loads(self.run(["swaymsg", "-r", *arguments], check=False) or "null")

    def tree(self):
        return self.swaymsg("-t", "get_tree")

    def work_area(self):
        """The focused workspace's area: the output less the panels' strips (x, y, w, h)."""
        for workspace in self.swaymsg("-t", "get_workspaces"):
            if workspace["focused"]:
                r = workspace["rect"]
                return r["x"], r["y"], r["width"], r["height"]
        raise E2EError("no workspace in focus")

    def node_of(self, x11_window):
        """sway's node of an X11 window, or None while sway does not manage it."""
        stack = [self.tree()]
        while stack:
            node = stack.pop()
            if node.get("window") == x11_window:
                return node
            stack.extend(node.get("nodes", []) + node.get("floating_nodes", []))
        return None

    def window_rect(self, x11_window):
        """Where sway shows a window: x, y, width, height (None while unmanaged)."""
        node = self.node_of(x11_window)
        if not node:
            return None
        r = node["rect"]
        return r["x"], r["y"], r["width"], r["height"]

    # The X11 side, as on the Xvfb desktop.

    def windows(self, name_regex):
        out = self.run(["xdotool", "search", "--name", name_regex], check=False)
        return [int(w) for w in out.split()]

    def window_info(self, window):
        return self.run(["xwininfo", "-id", str(window)], check=False)

    def is_viewable(self, window):
        return "Map State: IsViewable" in self.window_info(window)

    def window_property(self, window, name):
        return self.run(["xprop", "-id", str(window), name], check=False).strip()

    # Pictures and input.

    def screen_ppm(self):
        return subprocess.run(self.command(["grim", "-t", "ppm", "-"]), env=self.env(),
                              capture_output=True, timeout=20, check=True).stdout

    def screenshot(self, path):
        self.adopt(os.path.dirname(path))
        self.run(["grim", path])

    def pointer_to(self, x, y):
        self._vnc.pointer(x, y)

    def press(self, button=1):
        self._vnc.pointer(self._vnc.x, self._vnc.y, self._vnc.buttons | (1 << (button - 1)))

    def release(self, button=1):
        self._vnc.pointer(self._vnc.x, self._vnc.y, self._vnc.buttons & ~(1 << (button - 1)))

    def click(self, button=1):
        self.press(button)
        time.sleep(0.08)
        self.release(button)


def _connect(path):
    # The socket's file appears a moment before wayvnc listens on it.
    try:
        return _Vnc(path)
    except (FileNotFoundError, ConnectionRefusedError):
        return None


def _read_stripped(path):
    try:
        with open(path) as handle:
            return handle.read().strip() or None
    except OSError:
        return None
