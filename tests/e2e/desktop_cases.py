"""The window on the desktops people run besides openbox: XFCE's panel and its two tray
protocols, a tray that appears after the program, GNOME's mutter as a Wayland compositor with
Xwayland (a pointer X11 cannot always see), docked edges across a mode switch, floating beside
the program's own dialog, a session that asks Qt for Wayland, and translucency as xfwm4's
compositor shows it."""

import subprocess
import time

from desktops import MutterDesktop, XfceDesktop
from harness import Pulsmir, screen_pixels, skin_region, wait_until, window_geometry
from monitor_cases import install_skin
from option_cases import open_options
from session_bus import in_the_tray_on_a_bus
from shell_cases import expect, main_windows
from skin_limit_cases import drawing
from window_cases import (OFFSET_X, OFFSET_Y, SLOW, active_window, drag_end_positions,
                          drag_snaps_to_the_right_edge, frame_of, hiding_near_the_mouse_and_shift,
                          log_matches, open_client, popup_menu, position, start,
                          status_tip_after_rest, stop, the_window, tips_window, tray_icon_width,
                          tray_without_notification_area)


def on(desktop_class):
    """Runs the case on another desktop than openbox (run.py reads the attribute)."""
    def mark(case):
        case.desktop = desktop_class
        return case
    return mark


def click_tray_icon(desktop, panel, repeat=1):
    px, py, pw, ph = window_geometry(desktop, panel)
    desktop.run(["xdotool", "mousemove", str(px + pw - ph // 2), str(py + ph // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "--repeat", str(repeat), "--delay", "80", "1"])


def into_the_tray_from_the_menu(desktop, window):
    # The second item of the window menu.
    popup_menu(desktop, window, ["Down", "Down", "Return"])


@on(XfceDesktop)
def xfce_status_notifier_tray_restores_on_one_click(desktop, folder):
    panel = desktop.start_tray_host()
    empty = tray_icon_width(desktop, panel)
    program = start(desktop, folder, SkinMode=0, InTasktray=1, PosX=400, PosY=300)
    wait_until(lambda: tray_icon_width(desktop, panel) > empty, timeout=SLOW,
               what="the icon in XFCE's panel")

    def our_item():
        return next((item for item in desktop.status_notifier_items()
                     if desktop.bus_name_pid(item[0]) == program.process.pid), None)

    expect(our_item() is not None, "the icon is not a StatusNotifierItem")
    expect(not main_windows(desktop), "the window shows while in the tray")
    # The panel sends one Activate for the click, and no double click ever.
    click_tray_icon(desktop, panel)
    folder.wait_for_log("Out of TaskTray", timeout=SLOW)
    window = the_window(desktop)
    wait_until(lambda: tray_icon_width(desktop, panel) == empty, timeout=SLOW,
               what="the icon out of the panel")
    # Once more, with the Activate a host sends over the bus.
    into_the_tray_from_the_menu(desktop, window)
    folder.wait_for_log("Into TaskTray", count=2, timeout=SLOW)
    name, path = wait_until(our_item, timeout=SLOW, what="the item registered again")
    desktop.run(["gdbus", "call", "--session", "--dest", name, "--object-path", path,
                 "--method", "org.kde.StatusNotifierItem.Activate", "0", "0"])
    folder.wait_for_log("Out of TaskTray", count=2, timeout=SLOW)
    the_window(desktop)
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "InTasktray") == "0", "tray state saved")


def xembed_tray_restores_on_a_double_click_only(desktop, folder, env=None):
    panel = desktop.start_tray_host()
    empty = tray_icon_width(desktop, panel)
    folder.settings(ResourceName="English", NoSplash=1, SkinMode=0, InTasktray=1, PosX=400,
                    PosY=300)
    program = Pulsmir(desktop, folder, env=env)
    folder.wait_for_log("Application Running...", timeout=SLOW)
    wait_until(lambda: tray_icon_width(desktop, panel) > empty, timeout=SLOW,
               what="the icon in the tray")
    # A single click waits out the double-click time and then does nothing.
    click_tray_icon(desktop, panel)
    time.sleep(2.0)
    expect("Out of TaskTray" not in folder.log_lines(), "one click restored from an XEmbed tray")
    expect(not main_windows(desktop), "the window came back on one click")
    click_tray_icon(desktop, panel, repeat=2)
    folder.wait_for_log("Out of TaskTray", timeout=SLOW)
    the_window(desktop)
    stop(program)


@on(XfceDesktop)
def xfce_xembed_tray_restores_on_a_double_click_only(desktop, folder):
    # A program that cannot reach the session bus finds no StatusNotifierItem host, and Qt puts
    # its icon into the same panel's XEmbed tray.
    xembed_tray_restores_on_a_double_click_only(
        desktop, folder, env={"DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent"})


def tray_that_appears_later_is_entered(desktop, folder):
    program = start(desktop, folder, SkinMode=0, InTasktray=1, PosX=400, PosY=300)
    the_window(desktop)
    lines = folder.log_lines()
    expect("(!) No notification area: Move to tray disabled" in lines, "no reason logged")
    expect("Into TaskTray" not in lines, "into a tray that is not there")
    # The panel comes up after the program, as at a login.
    desktop.start_tray_host()
    folder.wait_for_log("Notification area found", timeout=SLOW)
    folder.wait_for_log("Into TaskTray", timeout=SLOW)
    wait_until(lambda: not main_windows(desktop), timeout=SLOW, what="the window hidden")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "InTasktray") == "1", "tray state")


def status_notifier_tray_that_appears_later_is_entered(desktop, folder):
    # A session bus without a tray host, as at a login on a desktop whose panel speaks only
    # the StatusNotifierItem protocol (waybar, KDE's Plasma); no XEmbed tray either.
    with in_the_tray_on_a_bus(desktop, folder, with_host=False, SkinMode=0, PosX=400,
                              PosY=300) as (bus, program):
        folder.wait_for_log("Application Running...")
        the_window(desktop)
        expect("(!) No notification area: Move to tray disabled" in folder.log_lines(),
               "no reason logged")
        bus.start_host()
        bus.expect_line("item ", timeout=SLOW)
        folder.wait_for_log("Into TaskTray", timeout=SLOW)
        wait_until(lambda: not main_windows(desktop), timeout=SLOW, what="the window hidden")
        # In the tray by the protocol of the host that came: one click restores.
        bus.activate()
        wait_until(lambda: main_windows(desktop), timeout=SLOW, what="the window back")
        stop(program)


def tray_icon_is_the_shipped_art_at_every_size(desktop, folder):
    with in_the_tray_on_a_bus(desktop, folder) as (bus, program):
        folder.wait_for_log("Into TaskTray", timeout=SLOW)
        bus.expect_line("item ", timeout=SLOW)
        offered = bus.icon_pixmaps()

        def alpha(state, size):
            path = folder.file(f"icons/tray-{state}-{size}.png")
            return subprocess.run(["convert", path, "rgba:-"], capture_output=True,
                                  check=True, timeout=20).stdout[3::4]

        # Each size drawn for it (the alpha channel survives Qt's colour conversions exactly):
        # a scaled picture would blur its edges.
        for size in (16, 22, 24, 32, 48, 64):
            picture = offered.get((size, size))
            expect(picture is not None, f"no {size}-pixel picture among {sorted(offered)}")
            expect(any(picture[0::4] == alpha(state, size)
                       for state in ("idle", "read", "write", "readwrite")),
                   f"the {size}-pixel picture is not the shipped art")
        stop(program)


def a_silent_tray_watcher_holds_up_nothing(desktop, folder):
    # A panel that owns the watcher's name and hangs: the bus library's own deadline is 25 s
    # a call, so one waiting call at the start or in the tray watch shows here.
    with in_the_tray_on_a_bus(desktop, folder, silent=True, SkinMode=0, PosX=400,
                              PosY=300) as (_, program):
        folder.wait_for_log("Application Running...", timeout=20)
        window = the_window(desktop)
        # The menu asks again as it opens, and the watch every two seconds.
        popup_menu(desktop, window, ["Escape"])
        expect(drawing(desktop, window), "the window stopped drawing")
        expect("Into TaskTray" not in folder.log_lines(), "into a tray that never answered")
        stop(program)


def xdotool_double_click(desktop, x, y):
    desktop.run(["xdotool", "mousemove", str(x), str(y)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])


def docked_window_stays_docked(desktop, folder, double_click=xdotool_double_click):
    # Far past the bottom-right corner: placed flush with it, in full mode.
    program = start(desktop, folder, SkinMode=1, PosX=5000, PosY=5000)
    window = the_window(desktop)
    corner = work_area(desktop)[2:]
    wait_until(lambda: frame_of(desktop, window)[2:] == corner, timeout=SLOW,
               what=f"the window in the corner {corner} (it is at {frame_of(desktop, window)})")
    x, y, w, h = window_geometry(desktop, window)
    # The smaller compact mode keeps both edges.
    double_click(desktop, x + 10, y + h // 2)
    folder.wait_for_log("Skin Mode Change to COMPACT", timeout=SLOW)
    wait_until(lambda: window_geometry(desktop, window)[2:] != (w, h), timeout=SLOW,
               what="the compact size")
    wait_until(lambda: frame_of(desktop, window)[2:] == corner, timeout=SLOW,
               what=f"the compact window docked at {corner} "
                    f"(it is at {frame_of(desktop, window)})")
    cx, cy, cw, ch = window_geometry(desktop, window)
    stop(program)
    saved = (int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosX")),
             int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosY")))
    expect(saved == (corner[0] - cw, corner[1] - ch), f"saved at {saved}, not docked")


def work_area(desktop):
    """The first desktop's work area: left, top, right, bottom."""
    value = desktop.run(["xprop", "-root", "_NET_WORKAREA"], check=False)
    if "=" not in value:
        return 0, 0, desktop.width, desktop.height
    x, y, w, h = (int(v) for v in value.split("=", 1)[1].split(",")[:4])
    return x, y, x + w, y + h


@on(XfceDesktop)
def xfce_docked_window_stays_docked(desktop, folder):
    desktop.start_tray_host()
    docked_window_stays_docked(desktop, folder)


def mutter_double_click(desktop, x, y):
    # xdotool's clicks move only Xwayland's pointer, which mutter may not show over the
    # window (a run under load lost both clicks); a mouse's double click is mutter's own.
    pointer = desktop.pointer()
    pointer.to(x, y)
    time.sleep(0.3)
    pointer.click()
    pointer.click()


@on(MutterDesktop)
def mutter_docked_window_stays_docked(desktop, folder):
    docked_window_stays_docked(desktop, folder, mutter_double_click)


def floating_ignores_the_programs_own_dialog(desktop, folder):
    program = start(desktop, folder, SkinMode=0, FloatSW=1, FloatAnim=0, PosX=50, PosY=500)
    window = the_window(desktop)
    client = open_client(desktop, "FloatTarget", "600x200+150+120")
    left, top, right, bottom = frame_of(desktop, client)
    riding = (right + OFFSET_X, top + OFFSET_Y)
    wait_until(lambda: position(desktop, window) == riding, timeout=SLOW,
               what="the window riding on the client")
    moves = len(log_matches(folder, r"Float Move: .*"))
    dialog = open_options(desktop, window)
    expect(frame_of(desktop, dialog)[2] - frame_of(desktop, dialog)[0] >= abs(OFFSET_X) + 64,
           "the dialog is too narrow to have carried the window anyway")
    # Several passes of the floating thread with the dialog in front.
    time.sleep(2.0)
    expect(position(desktop, window) == riding,
           f"the window left for the dialog: at {position(desktop, window)}")
    expect(len(log_matches(folder, r"Float Move: .*")) == moves,
           f"floating moves with the dialog in front: {log_matches(folder, r'Float Move: .*')}")
    desktop.run(["xdotool", "key", "--window", str(dialog), "Escape"], check=False)
    wait_until(lambda: not desktop.is_viewable(dialog), timeout=SLOW, what="the dialog closed")
    stop(program)


def wayland_platform_request_runs_on_x11(desktop, folder):
    folder.settings(ResourceName="English", NoSplash=1, SkinMode=0, PosX=300, PosY=300)
    program = Pulsmir(desktop, folder, env={"QT_QPA_PLATFORM": "wayland"})
    folder.wait_for_log("Application Running...", timeout=SLOW)
    the_window(desktop)
    expect(any(line.startswith("QT_QPA_PLATFORM=wayland: running on xcb")
               for line in folder.log_lines()), "the log does not say why it runs on X11")
    stop(program)


def activate(desktop, window):
    """Asks for the window in front; true once the window manager says it is."""
    if active_window(desktop) == window:
        return True
    desktop.run(["xdotool", "windowactivate", str(window)], check=False)
    return active_window(desktop) == window


@on(MutterDesktop)
def mutter_tip_hides_when_the_pointer_leaves(desktop, folder):
    pointer = desktop.pointer()
    program = start(desktop, folder, SkinMode=0, PosX=400, PosY=300)
    window = the_window(desktop)
    # Read once the window has its place (it may be mapped before it is moved there).
    wait_until(lambda: position(desktop, window) == (400, 300), timeout=SLOW,
               what=f"the saved place (it is at {position(desktop, window)})")
    x, y, w, h = window_geometry(desktop, window)
    # The tip shows for the window in front (a click would hold it back for a minute); mutter
    # may turn an activation down while the window is still being mapped.
    wait_until(lambda: activate(desktop, window), timeout=SLOW,
               what=f"the window in front (active: {active_window(desktop)})")
    pointer.to(x + w // 2, y + h // 2)
    tip = wait_until(lambda: tips_window(desktop), timeout=SLOW,
                     what=f"the status tip (active: {active_window(desktop)}, ours: {window})")
    # Onto the desktop, where no X11 window is: Xwayland keeps reporting the pointer where it
    # last saw it, on the face.
    pointer.to(x + w + 200, y + h + 200)
    wait_until(lambda: not desktop.is_viewable(tip), timeout=SLOW,
               what="the tip hidden after the pointer left")
    stop(program)


@on(MutterDesktop)
def mutter_tip_goes_when_the_pointer_leaves_by_absolute_motion(desktop, folder):
    # A tablet or a remote desktop: Xwayland may then see neither the pointer's moves nor its
    # leaving (from the second visit on, here), and still reports it on the face.
    pointer = desktop.pointer(absolute=True)
    program = start(desktop, folder, SkinMode=0, PosX=400, PosY=300)
    window = the_window(desktop)
    wait_until(lambda: position(desktop, window) == (400, 300), timeout=SLOW,
               what=f"the saved place (it is at {position(desktop, window)})")
    x, y, w, h = window_geometry(desktop, window)
    for visit in range(2):
        wait_until(lambda: activate(desktop, window), timeout=SLOW,
                   what=f"the window in front (active: {active_window(desktop)})")
        pointer.to(x + w // 2 + visit, y + h // 2)
        tip = wait_until(lambda: tips_window(desktop), timeout=SLOW, what="the status tip")
        pointer.to(x + w + 200, y + h + 200)
        wait_until(lambda: not desktop.is_viewable(tip), timeout=SLOW,
                   what=f"the tip hidden after the pointer left (visit {visit + 1})")
        pointer.to(5, 5)
    stop(program)


@on(MutterDesktop)
def mutter_window_hidden_near_the_pointer_comes_back(desktop, folder):
    pointer = desktop.pointer()
    program = start(desktop, folder, SkinMode=0, AutoHidingOnMouse=1, PosX=400, PosY=300)
    window = the_window(desktop)
    # Read once the window has its place (it may be mapped before it is moved there).
    wait_until(lambda: position(desktop, window) == (400, 300), timeout=SLOW,
               what=f"the saved place (it is at {position(desktop, window)})")
    x, y, w, h = window_geometry(desktop, window)
    pointer.to(x + w // 2, y + h // 2)
    wait_until(lambda: not desktop.is_viewable(window), timeout=SLOW,
               what="the window hidden under the pointer")
    hidden_at = time.monotonic()
    # Nothing of X11 is under the pointer now, so nothing tells where it goes: the window comes
    # back rather than being lost.
    pointer.to(x + w + 300, y + h + 200)
    wait_until(lambda: desktop.is_viewable(window), timeout=SLOW,
               what="the window back when the pointer could not be seen")
    expect(time.monotonic() - hidden_at >= 2.5, "back before the pointer rested for 3 seconds")
    # Seen moving over it again, it hides again (a mouse passes the edge on its way in; the
    # point it was last seen at would look like a pointer that never moved).
    pointer.to(x + w - 4, y + h // 2)
    time.sleep(0.2)
    pointer.to(x + w // 2 + 20, y + h // 2)
    wait_until(lambda: not desktop.is_viewable(window), timeout=SLOW, what="hidden again")
    stop(program)


def open_backdrop(desktop):
    """A red window (ImageMagick's display) behind where the cases put the face; returns its id
    once it is mapped."""
    desktop.spawn(["display", "-title", "Backdrop", "-geometry", "800x500+200+150", "-size",
                   "800x500", "xc:#cc3333"])
    return wait_until(lambda: next((w for w in desktop.windows("^Backdrop$")
                                    if desktop.is_viewable(w)), None),
                      timeout=SLOW, what="the backdrop window")


BACKDROP = (0xcc, 0x33, 0x33)


def shown_face(desktop, folder, inset=0, **settings):
    """Starts the program at (400, 300) over the backdrop; returns it, its size and the screen's
    pixels of the face (less `inset` on each side) once the compositor shows it."""
    program = start(desktop, folder, PosX=400, PosY=300, **settings)
    window = the_window(desktop)
    expect("Window Shape : transparent cut-outs (compositing)" in folder.log_lines(),
           "the program sees no compositing manager")

    def placed():
        # Placed and sized a moment after it maps.
        geometry = window_geometry(desktop, window)
        return geometry if geometry[:2] == (400, 300) and geometry[2] > 100 else None

    x, y, w, h = wait_until(placed, timeout=SLOW, what="the face at its place")

    def drawn():
        # Once the compositor shows the face, the red behind is gone from part of it.
        pixels = screen_pixels(desktop, x + inset, y + inset, w - 2 * inset, h - 2 * inset)
        red = sum(1 for row in pixels for pixel in row if pixel == BACKDROP)
        return red < 0.9 * len(pixels) * len(pixels[0])

    wait_until(drawn, timeout=SLOW, what="the face on the screen")
    time.sleep(1.0)  # the compositor's next frames, with the opacity the window asked for
    return program, (w, h), screen_pixels(desktop, x + inset, y + inset, w - 2 * inset,
                                          h - 2 * inset)


def translucent_window_shows_what_is_behind(desktop, folder):
    # The face over a red window, once opaque and once "Translucent" (160 of 255).
    desktop.run(["xdotool", "mousemove", "5", "5"])
    backdrop = open_backdrop(desktop)
    frames = []
    for alpha in (0, 1):
        program, _, pixels = shown_face(desktop, folder, inset=10, SkinMode=0, AlphaWindow=alpha)
        stop(program)
        frames.append([pixel for row in pixels for pixel in row])
    expect(desktop.is_viewable(backdrop), "the backdrop went away")
    opaque, shown = frames
    blended = [tuple((160 * o + 95 * b) // 255 for o, b in zip(pixel, BACKDROP))
               for pixel in opaque]
    close = sum(1 for want, got in zip(blended, shown)
                if all(abs(a - b) <= 8 for a, b in zip(want, got)))
    # The needles and lamps move between the two runs.
    expect(close >= 0.9 * len(shown),
           f"only {close} of {len(shown)} pixels are the face blended with the red behind it "
           f"(e.g. {shown[len(shown) // 2]} where {blended[len(shown) // 2]} was expected)")


@on(XfceDesktop)
def xfce_translucent_window_shows_what_is_behind(desktop, folder):
    # xfwm4 composites by default; the screen is the X server's.
    translucent_window_shows_what_is_behind(desktop, folder)


@on(MutterDesktop)
def mutter_translucent_window_shows_what_is_behind(desktop, folder):
    # The screen as mutter composites it, from its screen cast.
    translucent_window_shows_what_is_behind(desktop, folder)


def cut_outs_show_what_is_behind(desktop, folder):
    desktop.run(["xdotool", "mousemove", "5", "5"])
    skin = install_skin(folder)
    open_backdrop(desktop)
    program, (w, h), pixels = shown_face(desktop, folder, CurrentSkinName="Golden", SkinMode=1)
    rects = skin_region(folder.bin_dir, skin, "full")
    inside = {(col, row) for rx, ry, rw, rh in rects
              for row in range(ry, ry + rh) for col in range(rx, rx + rw)}
    outside = [(col, row) for row in range(h) for col in range(w) if (col, row) not in inside]
    expect(outside, "the skin has no cut-outs to look through")
    wrong = [pixels[row][col] for col, row in outside if pixels[row][col] != BACKDROP]
    expect(not wrong, f"{len(wrong)} of {len(outside)} cut-out pixels are not the window "
                      f"behind (e.g. {wrong[:1]})")
    drawn = sum(1 for col, row in inside if pixels[row][col] != BACKDROP)
    expect(drawn > 0.8 * len(inside), f"only {drawn} of {len(inside)} face pixels are drawn")
    stop(program)


@on(XfceDesktop)
def xfce_cut_outs_show_what_is_behind(desktop, folder):
    cut_outs_show_what_is_behind(desktop, folder)


@on(MutterDesktop)
def mutter_cut_outs_show_what_is_behind(desktop, folder):
    cut_outs_show_what_is_behind(desktop, folder)


@on(MutterDesktop)
def mutter_tray_without_notification_area(desktop, folder):
    # mutter alone hosts no tray of either kind (GNOME's comes from a shell extension).
    tray_without_notification_area(desktop, folder)


# The openbox cases of the window as xfwm4 treats it.

@on(XfceDesktop)
def xfce_drag_snaps_to_the_right_edge(desktop, folder):
    drag_snaps_to_the_right_edge(desktop, folder)


@on(XfceDesktop)
def xfce_hiding_near_the_mouse_and_shift(desktop, folder):
    hiding_near_the_mouse_and_shift(desktop, folder)


@on(XfceDesktop)
def xfce_status_tip_after_rest(desktop, folder):
    status_tip_after_rest(desktop, folder)


def compositor_drag(pointer, grab, to, steps=10):
    """Presses mutter's pointer at grab, moves to `to` in steps and lets go there."""
    pointer.to(*grab)
    time.sleep(0.3)
    pointer.press()
    time.sleep(0.3)
    for i in range(1, steps + 1):
        pointer.to(grab[0] + (to[0] - grab[0]) * i // steps,
                   grab[1] + (to[1] - grab[1]) * i // steps)
        time.sleep(0.05)
    time.sleep(0.3)
    pointer.release()


@on(MutterDesktop)
def mutter_dragged_and_snapped_by_the_pointer(desktop, folder):
    # mutter's own pointer, as a mouse moves it: the press reaches the window only where mutter
    # shows it.
    pointer = desktop.pointer()
    program = start(desktop, folder, SkinMode=0, PosX=200, PosY=200)
    window = the_window(desktop)
    wait_until(lambda: position(desktop, window) == (200, 200), timeout=SLOW,
               what=f"the saved place (it is at {position(desktop, window)})")
    # mutter takes the skin's size a moment after the program asks for it (from 1 x 1).
    x, y, w, h = wait_until(lambda: (g := window_geometry(desktop, window))[2] > 1 and g,
                            timeout=SLOW, what="the window at the skin's size")
    compositor_drag(pointer, (x + 10, y + h // 2), (x + 310, y + h // 2 + 150))
    wait_until(lambda: drag_end_positions(folder), timeout=SLOW, what="the drop")
    expect(drag_end_positions(folder)[-1] == (500, 350),
           f"dropped at {drag_end_positions(folder)[-1]}")
    wait_until(lambda: position(desktop, window) == (500, 350), timeout=SLOW,
               what=f"the window where the pointer took it (at {position(desktop, window)})")
    # Grabbed where it went (so mutter shows it there) and let go 5 pixels from the right edge:
    # it snaps flush.
    x, y, w, h = window_geometry(desktop, window)
    compositor_drag(pointer, (510, 350 + h // 2), (desktop.width - 5 - w + 10, 350 + h // 2))
    wait_until(lambda: len(drag_end_positions(folder)) == 2, timeout=SLOW,
               what="the second drop (the press did not reach the moved window)")
    expect(drag_end_positions(folder)[-1] == (desktop.width - w, 350),
           f"snapped to {drag_end_positions(folder)[-1]}")
    wait_until(lambda: position(desktop, window) == (desktop.width - w, 350), timeout=SLOW,
               what=f"the window flush with the right edge (at {position(desktop, window)})")
    stop(program)
    saved = (int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosX")),
             int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosY")))
    expect(saved == (desktop.width - w, 350), f"the settings keep {saved}")
