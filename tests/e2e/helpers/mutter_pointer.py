"""Moves the pointer of a headless mutter as a mouse would, through mutter's remote-desktop
interface, so that X11 clients on its Xwayland see it come and go as they do in a real GNOME
session (xdotool moves only Xwayland's own idea of the pointer).

Runs under the system's python3 with python3-dbus: mutter_pointer.py BUS_ADDRESS [--absolute].
One command a line on standard input, each answered "ok": "to X Y" moves to the screen point,
"click" clicks the left button, "press" and "release" hold and let go of it. With --absolute the
moves are absolute, as a tablet's or a remote desktop's are, on a screen-cast stream of the
monitor (which needs PipeWire).
"""

import sys

import dbus

BUTTON_LEFT = 0x110  # evdev's BTN_LEFT


def main():
    bus = dbus.bus.BusConnection(sys.argv[1])
    service = "org.gnome.Mutter.RemoteDesktop"
    remote = dbus.Interface(bus.get_object(service, "/org/gnome/Mutter/RemoteDesktop"), service)
    # The session lives as long as this connection.
    path = remote.CreateSession()
    session = dbus.Interface(bus.get_object(service, path), service + ".Session")
    stream = None
    if "--absolute" in sys.argv:
        # Absolute motion goes to a point of a screen-cast stream of this session.
        session_id = dbus.Interface(bus.get_object(service, path),
                                    "org.freedesktop.DBus.Properties").Get(
            service + ".Session", "SessionId")
        cast_service = "org.gnome.Mutter.ScreenCast"
        cast = dbus.Interface(bus.get_object(cast_service, "/org/gnome/Mutter/ScreenCast"),
                              cast_service)
        cast_path = cast.CreateSession(dbus.Dictionary(
            {"remote-desktop-session-id": session_id}, signature="sv"))
        stream = dbus.Interface(bus.get_object(cast_service, cast_path),
                                cast_service + ".Session").RecordMonitor(
            "", dbus.Dictionary({}, signature="sv"))
    session.Start()
    # Relative motion is all a session without a screen cast may send: start from the corner.
    session.NotifyPointerMotionRelative(-100000.0, -100000.0)
    x, y = 0, 0
    print("ok", flush=True)
    for line in sys.stdin:
        command, *args = line.split()
        if command == "to":
            to_x, to_y = (int(v) for v in args)
            if stream:
                session.NotifyPointerMotionAbsolute(stream, float(to_x), float(to_y))
            else:
                session.NotifyPointerMotionRelative(float(to_x - x), float(to_y - y))
            x, y = to_x, to_y
        elif command == "click":
            session.NotifyPointerButton(BUTTON_LEFT, True)
            session.NotifyPointerButton(BUTTON_LEFT, False)
        elif command in ("press", "release"):
            session.NotifyPointerButton(BUTTON_LEFT, command == "press")
        print("ok", flush=True)
    session.Stop()


if __name__ == "__main__":
    main()
