"""Desktops other than openbox for the window cases: XFCE (xfwm4 and its panel, whose tray speaks
both XEmbed and StatusNotifierItem) on Xvfb, and GNOME's mutter as a headless Wayland compositor
with Xwayland. Each runs under a D-Bus session bus of its own and keeps its configuration in a
temporary folder; a desktop that cannot start on this machine skips the case with the reason.
"""

import glob
import os
import shutil
import subprocess
import tempfile
import time

from harness import Desktop, E2EError, Skip, wait_until


def require(*tools):
    missing = [tool for tool in tools if not shutil.which(tool)]
    if missing:
        raise Skip(f"not installed: {', '.join(missing)} (scripts/install-deps.sh)")


class DBusSession:
    """A session bus with the environment its activated services (xfconfd) inherit."""

    def __init__(self, env):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile",
             f"--print-address={write_end}"],
            env=env, pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            self.address = pipe.readline().decode().strip()
        if not self.address:
            self.stop()
            raise Skip("dbus-daemon did not start a session bus")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class SessionDesktop(Desktop):
    """A desktop with a session bus and a home of its own for its configuration."""

    name = "desktop"

    def __init__(self, width=1280, height=800):
        super().__init__(width, height)
        self._scratch = tempfile.TemporaryDirectory(prefix=f"pulsmir-{self.name}-",
                                                    ignore_cleanup_errors=True)
        self.home = self._scratch.name
        self.runtime = os.path.join(self.home, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.bus = None
        self.session_env = {}

    def desktop_env(self):
        """The environment of the desktop's own processes."""
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER"):
            env.pop(name, None)
        env.update({
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, "config"),
            "XDG_DATA_HOME": os.path.join(self.home, "data"),
            "XDG_CACHE_HOME": os.path.join(self.home, "cache"),
            "XDG_RUNTIME_DIR": self.runtime,
            "NO_AT_BRIDGE": "1",
        })
        if self.display:
            env["DISPLAY"] = self.display
        env.update(self.session_env)
        return env

    def start_bus(self):
        require("dbus-daemon")
        self.bus = DBusSession(self.desktop_env())
        self.session_env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address

    def env(self, extra=None):
        env = super().env()
        env.update(self.session_env)
        if extra:
            env.update(extra)
        return env

    def bus_names(self):
        out = self.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                        "--object-path", "/org/freedesktop/DBus", "--method",
                        "org.freedesktop.DBus.ListNames"], check=False)
        return [name.strip(" '") for name in out.strip("()[],\n").split(",")]

    def stop(self):
        super().stop()
        if self.bus:
            self.bus.stop()
            self.bus = None

    def __exit__(self, *exc):
        self.stop()
        self._scratch.cleanup()


# One panel along the top holding only the notification area, as small as its icons.
XFCE_PANEL = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="false"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="1"/>
      <property name="length-adjust" type="bool" value="true"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
"""


class XfceDesktop(SessionDesktop):
    """Xvfb with xfwm4; start_tray_host() starts XFCE's panel."""

    name = "xfce"

    def start_window_manager(self):
        require("xfwm4", "xfce4-panel", "gdbus")
        self.start_bus()
        channels = os.path.join(self.home, "config", "xfce4", "xfconf", "xfce-perchannel-xml")
        os.makedirs(channels)
        with open(os.path.join(channels, "xfce4-panel.xml"), "w") as handle:
            handle.write(XFCE_PANEL)
        self.spawn(["xfwm4", "--sm-client-disable"], env=self.desktop_env())
        self.wait_for_window_manager("xfwm4", timeout=30)

    def start_tray_host(self):
        """XFCE's panel with its notification area; returns the panel window once both
        protocols are served: the XEmbed tray selection and the StatusNotifierItem watcher
        with its host."""
        self.spawn(["xfce4-panel", "--sm-client-disable"], env=self.desktop_env())
        wait_until(lambda: "org.kde.StatusNotifierWatcher" in self.bus_names(), timeout=30,
                   what="the panel's StatusNotifierWatcher")
        wait_until(lambda: "true" in self.run(
            ["gdbus", "call", "--session", "--dest", "org.kde.StatusNotifierWatcher",
             "--object-path", "/StatusNotifierWatcher", "--method",
             "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierWatcher",
             "IsStatusNotifierHostRegistered"], check=False), timeout=30,
            what="a StatusNotifierItem host")
        wait_until(lambda: "window id" in self.run(
            ["xprop", "-root", "-notype", "_NET_SYSTEM_TRAY_S0"], check=False) or
            self.tray_selection_owned(), timeout=30, what="the XEmbed tray selection")
        return wait_until(lambda: self.panel_window(), timeout=30, what="the panel window")

    def status_notifier_items(self):
        """The items the panel's watcher holds, each as (bus name, object path)."""
        out = self.run(["gdbus", "call", "--session", "--dest", "org.kde.StatusNotifierWatcher",
                        "--object-path", "/StatusNotifierWatcher", "--method",
                        "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierWatcher",
                        "RegisteredStatusNotifierItems"], check=False)
        items = []
        for entry in out.split("'")[1::2]:
            name, _, path = entry.partition("/")
            items.append((name, "/" + path if path else "/StatusNotifierItem"))
        return items

    def bus_name_pid(self, name):
        out = self.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                        "--object-path", "/org/freedesktop/DBus", "--method",
                        "org.freedesktop.DBus.GetConnectionUnixProcessID", name], check=False)
        # "(uint32 1234,)"
        value = out.strip("()\n, ").split()[-1:] if out.strip() else []
        return int(value[0]) if value and value[0].isdigit() else None

    def tray_selection_owned(self):
        # xprop cannot read selections; xdotool's search for the tray manager's window can.
        return bool(self.windows("^xfce4-panel$"))

    def panel_window(self):
        """The panel's visible top-level window along the top edge."""
        for window in self.windows("^xfce4-panel$"):
            info = self.window_info(window)
            if "IsViewable" in info and "Absolute upper-left Y:  0" in info \
                    or "Absolute upper-left Y: 0" in info and "IsViewable" in info:
                return window
        return None


class MutterDesktop(SessionDesktop):
    """GNOME's mutter as a headless Wayland compositor; X11 clients (the program, xdotool)
    run on its Xwayland, of which mutter is also the window manager."""

    name = "mutter"

    def start(self):
        require("mutter", "Xwayland", "gdbus")
        try:
            self.start_bus()
            self.start_compositor()
        except BaseException:
            self.stop()
            raise

    def start_compositor(self):
        # Missing, /tmp/.X11-unix is made by mutter through the umask (1755), which mutter
        # itself then refuses as not writable for its Xwayland: make it as X servers do.
        try:
            os.mkdir("/tmp/.X11-unix")
            os.chmod("/tmp/.X11-unix", 0o1777)
        except FileExistsError:
            pass
        self.log = open(os.path.join(self.home, "mutter.log"), "w")
        self.mutter = subprocess.Popen(
            ["mutter", "--headless", "--virtual-monitor", f"{self.width}x{self.height}",
             "--wayland"], env=self.desktop_env(), stdout=self.log, stderr=subprocess.STDOUT)
        self._processes.append(self.mutter)

        def xwayland_display():
            if self.mutter.poll() is not None:
                raise Skip(f"mutter ended at start ({self.mutter.returncode}): "
                               + self.log_tail())
            # The display mutter gives its Xwayland is on that child's command line.
            for stat in glob.glob("/proc/[0-9]*/stat"):
                try:
                    with open(stat) as handle:
                        fields = handle.read().rsplit(")", 1)[1].split()
                    if int(fields[1]) != self.mutter.pid:
                        continue
                    with open(os.path.join(os.path.dirname(stat), "cmdline"), "rb") as handle:
                        command = handle.read().decode(errors="replace").split("\0")
                except (OSError, IndexError, ValueError):
                    continue
                # ":0" and not 0, which would read as not found yet.
                if os.path.basename(command[0]) == "Xwayland" and len(command) > 1 \
                        and command[1][:1] == ":" and command[1][1:].isdigit():
                    return command[1]
            return None

        try:
            self.display = wait_until(xwayland_display, timeout=30, interval=0.2,
                                      what="mutter's Xwayland")
        except E2EError:
            raise Skip("mutter started no Xwayland: " + self.log_tail())
        wayland = os.path.join(self.runtime, "wayland-0")
        auth = wait_until(lambda: next(iter(glob.glob(
            os.path.join(self.runtime, ".mutter-Xwaylandauth.*"))), None), timeout=30,
            what="Xwayland's authority file")
        self.session_env.update({"XAUTHORITY": auth, "WAYLAND_DISPLAY": wayland,
                                 "XDG_SESSION_TYPE": "wayland"})
        try:
            self.wait_for_window_manager("mutter on Xwayland", timeout=60)
        except E2EError:
            raise Skip("Xwayland under mutter did not come up: " + self.log_tail())

    def pointer(self, absolute=False):
        """The compositor's own pointer (see helpers/mutter_pointer.py), started at the
        top-left corner of the screen; moved by absolute motion if asked."""
        if getattr(self, "_pointer", None):
            return self._pointer
        python = self.system_python("dbus")
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "helpers",
                              "mutter_pointer.py")
        if absolute:
            self._pipewire()
        process = subprocess.Popen([python, script, self.bus.address] +
                                   (["--absolute"] if absolute else []), stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, text=True, env=self.env())
        self._processes.append(process)
        self._pointer = CompositorPointer(process)
        self._pointer.wait()
        return self._pointer

    def system_python(self, *modules):
        """The system's python3, which has the Debian modules the helpers use."""
        python = "/usr/bin/python3"
        for module in modules:
            if subprocess.run([python, "-c", f"import {module}"],
                              capture_output=True).returncode != 0:
                raise Skip(f"the system's python3 has no {module} module (scripts/install-deps.sh)")
        return python

    def screen_ppm(self):
        """What mutter shows, as a binary PPM: a frame of its screen cast (see
        helpers/mutter_screen.py), taken by GStreamer from PipeWire."""
        node = self._screen_cast()
        raw = os.path.join(self.home, "screen.rgb")
        # A stream that the session manager has not linked yet refuses the pipeline ("Failed
        # to set pipeline to PAUSED"): asked again a moment later, it gives its frame. Under
        # load a stream can also stay unable to agree on a format ("not-negotiated") for good:
        # after two refusals in a row the cast starts anew, with a stream of its own.
        for attempt in range(6):
            if attempt in (2, 4):
                self._end_screen_cast()
                node = self._screen_cast()
            if os.path.exists(raw):
                os.remove(raw)
            result = subprocess.run(
                ["gst-launch-1.0", "-q", "pipewiresrc", f"path={node}", "num-buffers=1", "!",
                 "videoconvert", "!", f"video/x-raw,format=RGB,width={self.width},"
                 f"height={self.height}", "!", "filesink", f"location={raw}"],
                env=self.desktop_env(), capture_output=True, text=True, timeout=60)
            pixels = b""
            if os.path.exists(raw):
                with open(raw, "rb") as handle:
                    pixels = handle.read()
            if result.returncode == 0 and len(pixels) == self.width * self.height * 3:
                return b"P6\n%d %d\n255\n" % (self.width, self.height) + pixels
            time.sleep(1)
        raise E2EError(f"no frame of mutter's screen cast ({len(pixels)} bytes): "
                       + result.stderr.strip()[-300:])

    def _pipewire(self):
        """PipeWire and its session manager, which links a screen-cast stream to its reader."""
        if getattr(self, "_pipewire_up", False):
            return
        require("pipewire", "wireplumber")
        for daemon in ("pipewire", "wireplumber"):
            self.spawn([daemon], env=self.desktop_env())
        wait_until(lambda: os.path.exists(os.path.join(self.runtime, "pipewire-0")),
                   timeout=30, what="PipeWire's socket")
        self._pipewire_up = True

    def _screen_cast(self):
        if getattr(self, "_cast_node", None):
            return self._cast_node
        require("gst-launch-1.0")
        python = self.system_python("dbus", "gi")
        self._pipewire()
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "helpers",
                              "mutter_screen.py")
        process = subprocess.Popen([python, script, self.bus.address], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, text=True, env=self.desktop_env())
        self._processes.append(process)
        self._cast_process = process
        line = process.stdout.readline().split()
        if line[:1] != ["node"]:
            raise E2EError("mutter's screen cast gave no PipeWire stream")
        self._cast_node = int(line[1])
        return self._cast_node

    def _end_screen_cast(self):
        process = getattr(self, "_cast_process", None)
        self._cast_node = self._cast_process = None
        if process is None:
            return
        process.stdin.close()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()

    def log_tail(self):
        self.log.flush()
        with open(self.log.name, errors="replace") as handle:
            return " | ".join(handle.read().strip().splitlines()[-3:])

    def env(self, extra=None):
        env = super().env(extra)
        # A Wayland session as the user has it: the program must still run on Xwayland.
        env["WAYLAND_DISPLAY"] = self.session_env["WAYLAND_DISPLAY"]
        return env

    def stop(self):
        super().stop()
        if getattr(self, "log", None):
            self.log.close()


class CompositorPointer:
    def __init__(self, process):
        self.process = process

    def wait(self):
        if self.process.stdout.readline().strip() != "ok":
            raise E2EError("mutter's remote-desktop pointer did not answer")

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        self.wait()

    def to(self, x, y):
        self.send(f"to {x} {y}")

    def click(self):
        self.send("click")

    def press(self):
        self.send("press")

    def release(self):
        self.send("release")
