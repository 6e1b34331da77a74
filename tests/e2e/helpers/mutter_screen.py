"""Shares the screen of a headless mutter as GNOME's screen sharing does, through mutter's
screen-cast interface: the picture mutter composites, which X11 cannot read back from its
Xwayland (Xwayland's root holds only the X11 windows, without what mutter does with them).

Runs under the system's python3 with python3-dbus and python3-gi: mutter_screen.py BUS_ADDRESS.
Prints "node N", the PipeWire node of the monitor's stream, once mutter has made it; the stream
lasts until standard input closes.
"""

import sys
import threading

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

SERVICE = "org.gnome.Mutter.ScreenCast"
CURSOR_HIDDEN = 0


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(sys.argv[1])
    cast = dbus.Interface(bus.get_object(SERVICE, "/org/gnome/Mutter/ScreenCast"), SERVICE)
    session = dbus.Interface(bus.get_object(SERVICE, cast.CreateSession(
        dbus.Dictionary({}, signature="sv"))), SERVICE + ".Session")
    # The empty connector is the primary monitor.
    stream = session.RecordMonitor("", dbus.Dictionary(
        {"cursor-mode": dbus.UInt32(CURSOR_HIDDEN)}, signature="sv"))
    loop = GLib.MainLoop()
    bus.add_signal_receiver(lambda node: print(f"node {int(node)}", flush=True),
                            "PipeWireStreamAdded", SERVICE + ".Stream", SERVICE, stream)
    # The test's end (or its own) closes standard input.
    threading.Thread(target=lambda: (sys.stdin.read(), GLib.idle_add(loop.quit)),
                     daemon=True).start()
    session.Start()
    loop.run()
    session.Stop()


if __name__ == "__main__":
    main()
