"""The main window as a window: where it starts and the monitors it stays on, dragging and the
edge snap, the double click, floating on other windows, the auto-active tray rule, hiding near
the mouse, the status tips and the tray icon."""

import re
import shutil
import time

from harness import (Desktop, E2EError, Pulsmir, Skip, screen_pixels, shape_extents,
                     wait_until, window_geometry)
from shell_cases import expect, main_windows

SLOW = 60.0  # a loaded two-core machine


def the_window(desktop):
    return wait_until(lambda: next(iter(main_windows(desktop)), None), timeout=SLOW,
                      what="the main window")


def start(desktop, folder, **settings):
    settings.setdefault("ResourceName", "English")
    settings.setdefault("NoSplash", 1)
    folder.settings(**settings)
    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...", timeout=SLOW)
    return program


def stop(program):
    expect(program.terminate() == 0, "exit code after SIGTERM")


def log_matches(folder, pattern):
    return [m for m in (re.fullmatch(pattern, line) for line in folder.log_lines()) if m]


def drag(desktop, grab, to, steps=8):
    """Presses the left button at grab, moves to `to` in steps and releases there."""
    desktop.run(["xdotool", "mousemove", str(grab[0]), str(grab[1])])
    time.sleep(0.2)
    desktop.run(["xdotool", "mousedown", "1"])
    time.sleep(0.2)
    for i in range(1, steps + 1):
        x = grab[0] + (to[0] - grab[0]) * i // steps
        y = grab[1] + (to[1] - grab[1]) * i // steps
        desktop.run(["xdotool", "mousemove", str(x), str(y)])
        time.sleep(0.05)
    time.sleep(0.3)
    desktop.run(["xdotool", "mouseup", "1"])


def drag_end_positions(folder):
    return [(int(m[1]), int(m[2])) for m in log_matches(folder, r"DRAG End: (-?\d+),(-?\d+)")]


def frame_of(desktop, window):
    """The window manager's frame of a client window: left, top, right, bottom."""
    x, y, w, h = window_geometry(desktop, window)
    extents = desktop.window_property(window, "_NET_FRAME_EXTENTS")
    left = right = top = bottom = 0
    if "=" in extents:
        left, right, top, bottom = (int(v) for v in extents.split("=", 1)[1].split(","))
    return x - left, y - top, x + w + right, y + h + bottom


def open_client(desktop, text, geometry):
    """An xmessage window; returns its id once it is mapped."""
    desktop.spawn(["xmessage", "-name", text, "-title", text, "-geometry", geometry, text])
    window = wait_until(lambda: next((w for w in desktop.windows("^" + text + "$")
                                      if desktop.is_viewable(w)), None),
                        timeout=SLOW, what=f"the window {text!r}")
    desktop.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)
    return window


def maximise(desktop, window, on=True):
    desktop.run(["wmctrl", "-i", "-r", hex(window), "-b",
                 ("add" if on else "remove") + ",maximized_vert,maximized_horz"])


def position(desktop, window):
    return window_geometry(desktop, window)[:2]


def saved_position(folder):
    return (int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosX")),
            int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosY")))


def first_start_where_it_stays(desktop, folder):
    # No place saved: shown once, with its size, in the middle of the work area.
    program = start(desktop, folder, SkinMode=0)
    window = the_window(desktop)
    shown = window_geometry(desktop, window)
    time.sleep(0.5)
    x, y, w, h = window_geometry(desktop, window)
    expect(shown == (x, y, w, h), f"shown as {shown}, then {(x, y, w, h)}")
    middle = ((desktop.width - w) // 2, (desktop.height - h) // 2)
    expect((x, y) == middle, f"at {x},{y}, not in the middle {middle}")
    stop(program)
    expect(saved_position(folder) == (x, y), f"saved {saved_position(folder)}")


class TwoMonitors(Desktop):
    """One X screen that xrandr makes two monitors side by side; the right one can go."""

    def __init__(self):
        super().__init__(width=2560, height=800)

    def start(self, *args, **kwargs):
        if not shutil.which("xrandr"):
            raise Skip("xrandr is not installed (scripts/install-deps.sh)")
        super().start(*args, **kwargs)
        self.run(["xrandr", "--setmonitor", "LEFT", "1280/340x800/210+0+0", "screen"])
        self.run(["xrandr", "--setmonitor", "RIGHT", "1280/340x800/210+1280+0", "none"])

    def unplug_right(self):
        self.run(["xrandr", "--delmonitor", "RIGHT"])


def back_from_a_monitor_that_is_gone(desktop, folder):
    program = start(desktop, folder, SkinMode=0, PosX=2000, PosY=300)
    window = the_window(desktop)
    wait_until(lambda: position(desktop, window) == (2000, 300), timeout=SLOW,
               what="the window on the right monitor")
    w = window_geometry(desktop, window)[2]
    desktop.unplug_right()
    wait_until(lambda: position(desktop, window)[0] + w <= 1280, timeout=SLOW,
               what=f"the window back on the left monitor (at {position(desktop, window)})")
    stop(program)
    expect(saved_position(folder)[0] + w <= 1280, f"saved {saved_position(folder)}")

    # Saved on the monitor that is not there: shown on the other one.
    program = start(desktop, folder, SkinMode=0, PosX=2000, PosY=300)
    x = position(desktop, the_window(desktop))[0]
    expect(x + w <= 1280, f"started at x={x}, off the monitor")
    stop(program)


back_from_a_monitor_that_is_gone.desktop = TwoMonitors


def the_face_follows_a_change_of_scale(desktop, folder):
    # The right monitor has twice the scale: moved there, the face is drawn at two screen
    # pixels a skin pixel, its window and outline twice as large, its top-left where it went;
    # moved back, all is as it was.
    folder.settings(ResourceName="English", NoSplash=1, SkinMode=0, PosX=200, PosY=200)
    program = Pulsmir(desktop, folder, env={"QT_SCREEN_SCALE_FACTORS": "LEFT=1;RIGHT=2"})
    folder.wait_for_log("Application Running...", timeout=SLOW)
    window = the_window(desktop)
    wait_until(lambda: position(desktop, window) == (200, 200), timeout=SLOW,
               what="the window on the left monitor")
    w, h = window_geometry(desktop, window)[2:]
    time.sleep(1.0)  # drawn
    face = screen_pixels(desktop, 200, 200, w, h)
    lit = sum(1 for row in face for pixel in row if pixel != (0, 0, 0))
    expect(lit > 0.8 * w * h, f"only {lit} of {w * h} pixels of the face are drawn")
    for at, scale in (((1500, 200), 2), ((200, 200), 1)):
        desktop.run(["xdotool", "windowmove", str(window), str(at[0]), str(at[1])])
        size = (scale * w, scale * h)
        wait_until(lambda: window_geometry(desktop, window)[2:] == size, timeout=SLOW,
                   what=f"a {size} face at {at} (it is {window_geometry(desktop, window)})")
        expect(position(desktop, window) == at, f"moved to {position(desktop, window)}")
        outline = shape_extents(desktop, window)
        expect(outline == size, f"the outline is {outline}")
        # The same picture, each skin pixel a square of scale x scale (the meters move).
        time.sleep(1.0)
        shown = screen_pixels(desktop, at[0], at[1], *size)
        same = sum(1 for y in range(h) for x in range(w)
                   if shown[y * scale][x * scale] == shown[y * scale + scale - 1][x * scale] ==
                   face[y][x])
        expect(same > 0.9 * w * h, f"only {same} of {w * h} skin pixels are as before")
    stop(program)


the_face_follows_a_change_of_scale.desktop = TwoMonitors


def drag_snaps_to_the_right_edge(desktop, folder):
    program = start(desktop, folder, SkinMode=0, PosX=200, PosY=200)
    window = the_window(desktop)
    x, y, w, h = window_geometry(desktop, window)
    for gap, expected_right in ((5, desktop.width), (9, desktop.width - 9)):
        x, y, w, h = window_geometry(desktop, window)
        grab = (x + 10, y + h // 2)
        left = desktop.width - gap - w
        count = len(drag_end_positions(folder))
        drag(desktop, grab, (grab[0] + left - x, grab[1] + 40))
        wait_until(lambda: len(drag_end_positions(folder)) > count, timeout=SLOW, what="the drop")
        placed = drag_end_positions(folder)[-1]
        expect(placed[0] + w == expected_right,
               f"released {gap} px from the edge: right edge at {placed[0] + w}, "
               f"expected {expected_right}")
        wait_until(lambda: position(desktop, window)[0] == placed[0], timeout=10,
                   what="the window at its placed position")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosX") == str(desktop.width - 9 - w),
           "the dropped position is not saved")


def double_click_switches_without_dragging(desktop, folder):
    program = start(desktop, folder, SkinMode=0, PosX=300, PosY=300)
    window = the_window(desktop)
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + 10), str(y + h // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])
    folder.wait_for_log("Skin Mode Change to FULL", timeout=SLOW)
    wait_until(lambda: window_geometry(desktop, window)[2:] != (w, h), timeout=SLOW,
               what="the full-mode size")
    lines = folder.log_lines()
    # The first press drags (and its release ends that drag); the second press must not.
    expect(lines.count("DRAG Start") == 1, f"drag starts: {lines.count('DRAG Start')}")
    # The next press drags again: the double click's suppression is used up.
    desktop.run(["xdotool", "click", "1"])
    wait_until(lambda: folder.log_lines().count("DRAG Start") == 2, timeout=SLOW,
               what="a drag from the next press")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "SkinMode") == "1", "mode not saved")


def skin_without_full_mode(desktop, folder):
    program = start(desktop, folder, CurrentSkinName="Pulsmir Mini Strip", SkinMode=1,
                    PosX=300, PosY=300)
    window = the_window(desktop)
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + 10), str(y + h // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])
    folder.wait_for_log("Skin Mode Change...OK", timeout=SLOW)
    lines = folder.log_lines()
    expect("Skin Mode Change to FULL" not in lines, "switched to a mode the skin lacks")
    expect(window_geometry(desktop, window)[2:] == (w, h), "the window changed its size")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "SkinMode") == "0", "mode")


# The default skin's compact mode floats with this anchor (FloatPosX, FloatPosY).
OFFSET_X, OFFSET_Y = -370, 0


def floating_on_other_windows(desktop, folder):
    program = start(desktop, folder, SkinMode=0, FloatSW=1, FloatAnim=0, PosX=50, PosY=500)
    window = the_window(desktop)
    client = open_client(desktop, "FloatTarget", "600x200+150+120")

    def expect_at(where, what):
        wait_until(lambda: position(desktop, window) == where, timeout=SLOW,
                   what=f"the window at {where} ({what}); it is at {position(desktop, window)}")

    left, top, right, bottom = frame_of(desktop, client)
    expect_at((right + OFFSET_X, top + OFFSET_Y), "riding on a normal window")
    maximise(desktop, client)
    wait_until(lambda: frame_of(desktop, client)[2] == desktop.width, timeout=SLOW,
               what="the client maximised")
    left, top, right, bottom = frame_of(desktop, client)
    expect_at((right + OFFSET_X, top + OFFSET_Y), "riding on a maximised window")
    maximise(desktop, client, on=False)
    wait_until(lambda: frame_of(desktop, client)[2] != desktop.width, timeout=SLOW,
               what="the client restored")
    # A window too narrow to carry it (|OffsetX| + 64) sends it to the corner instead.
    narrow = open_client(desktop, "Narrow", "300x200+500+400")
    expect_at((desktop.width + OFFSET_X, 0), "a narrow window in front")
    # With no window in front (the desktop) it goes to the work area's top-right corner.
    desktop.run(["xdotool", "windowactivate", "--sync", str(client)], check=False)
    expect_at((frame_of(desktop, client)[2] + OFFSET_X, frame_of(desktop, client)[1]),
              "back on the wide window")
    for w in (narrow, client):
        desktop.run(["xdotool", "windowminimize", "--sync", str(w)], check=False)
    expect_at((desktop.width + OFFSET_X, 0), "the desktop in front")
    stop(program)


def floating_approach_in_half_steps(desktop, folder):
    program = start(desktop, folder, SkinMode=0, FloatSW=1, FloatAnim=1, PosX=50, PosY=500)
    window = the_window(desktop)
    client = open_client(desktop, "FloatTarget", "600x200+150+120")
    left, top, right, bottom = frame_of(desktop, client)
    target = (right + OFFSET_X, top + OFFSET_Y)
    wait_until(lambda: position(desktop, window) == target, timeout=SLOW, what="the first ride")
    start_position = target
    before = len(folder.log_lines())
    desktop.run(["xdotool", "windowmove", "--sync", str(client), "350", "320"])
    left, top, right, bottom = frame_of(desktop, client)
    target = (right + OFFSET_X, top + OFFSET_Y)
    wait_until(lambda: position(desktop, window) == target, timeout=SLOW, what="the second ride")
    time.sleep(0.5)
    moves = [tuple(int(v) for v in m.groups()) for m in
             (re.fullmatch(r"Float Move: (-?\d+),(-?\d+)", line)
              for line in folder.log_lines()[before:]) if m]
    expect(len(moves) >= 5, f"a 200-pixel approach in {len(moves)} moves: {moves}")
    expect(moves[-1] == target, f"last move {moves[-1]}, target {target}")
    # Each move covers half of the remaining way (rounded toward zero); the last 3 pixels at once.
    previous = start_position
    for move in moves:
        for axis in (0, 1):
            rest = target[axis] - previous[axis]
            expected = target[axis] if abs(rest) <= 3 else previous[axis] + int(rest / 2)
            expect(move[axis] == expected, f"step {previous} -> {move} toward {target}")
        previous = move
    stop(program)


def tray_icon_width(desktop, panel):
    return window_geometry(desktop, panel)[2]


def auto_hiding_with_a_maximised_window(desktop, folder):
    panel = desktop.start_tray_host()
    empty = tray_icon_width(desktop, panel)
    program = start(desktop, folder, SkinMode=0, AutoHiding=1, PosX=50, PosY=500)
    window = the_window(desktop)
    client = open_client(desktop, "Editor", "500x300+300+100")
    maximise(desktop, client)
    folder.wait_for_log("Into TaskTray", timeout=SLOW)
    wait_until(lambda: not desktop.is_viewable(window), timeout=SLOW, what="the window hidden")
    wait_until(lambda: tray_icon_width(desktop, panel) > empty, timeout=SLOW,
               what="the icon in the tray")
    maximise(desktop, client, on=False)
    folder.wait_for_log("Out of TaskTray", timeout=SLOW)
    # Qt may give the window a new native window when it shows it again.
    the_window(desktop)
    wait_until(lambda: tray_icon_width(desktop, panel) == empty, timeout=SLOW,
               what="the icon out of the tray")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "InTasktray") == "0", "tray state saved")


def hiding_near_the_mouse_and_shift(desktop, folder):
    # The pointer starts mid-screen, over where the window goes: away first, or it hides at once.
    desktop.run(["xdotool", "mousemove", "5", "5"])
    program = start(desktop, folder, SkinMode=0, AutoHidingOnMouse=1, PosX=400, PosY=300)
    window = the_window(desktop)
    x, y, w, h = window_geometry(desktop, window)
    # Beside the window, inside the 16-pixel margin: never over it, so no click or tip matters.
    desktop.run(["xdotool", "mousemove", str(x + w + 8), str(y + h // 2)])
    try:
        wait_until(lambda: not desktop.is_viewable(window), timeout=SLOW,
                   what="the window hidden near the mouse")
        desktop.run(["xdotool", "keydown", "shift"])
        wait_until(lambda: desktop.is_viewable(window), timeout=SLOW,
                   what="the window back while Shift is held")
    finally:
        desktop.run(["xdotool", "keyup", "shift"], check=False)
    wait_until(lambda: not desktop.is_viewable(window), timeout=SLOW,
               what="hidden again when Shift is let go")
    desktop.run(["xdotool", "mousemove", str(x + w + 60), str(y + h + 60)])
    wait_until(lambda: desktop.is_viewable(window), timeout=SLOW,
               what="the window back when the mouse went away")
    stop(program)


def tips_window(desktop):
    return next((w for w in desktop.windows("^Pulsmir Status Tips$") if desktop.is_viewable(w)),
                None)


def status_tip_after_rest(desktop, folder):
    # The pointer starts mid-screen; off the window, no tip is placed before the rest below.
    desktop.run(["xdotool", "mousemove", "5", "5"])
    program = start(desktop, folder, SkinMode=0, PosX=400, PosY=300)
    window = the_window(desktop)
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)
    desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)])
    tip = wait_until(lambda: tips_window(desktop), timeout=SLOW, what="the status tip")
    tx, ty, tw, th = window_geometry(desktop, tip)
    expect(tw < 400 and th < 300, f"a {tw}x{th} tip is not the size of its text")
    expect((tx, ty) == (x + w // 2 + 8, y + h // 2 + 24), f"tip at {(tx, ty)}")
    # The busiest processes are sampled once the tip shows, and join it a second later.
    wait_until(lambda: window_geometry(desktop, tip)[3] > th, timeout=SLOW,
               what="the busiest processes in the tip")
    # A click takes the tip away and holds it back for a minute.
    desktop.run(["xdotool", "click", "1"])
    wait_until(lambda: tips_window(desktop) is None, timeout=SLOW, what="the tip hidden")
    time.sleep(3.0)
    expect(tips_window(desktop) is None, "the tip came back within a minute of a click")
    stop(program)


def active_window(desktop):
    value = desktop.run(["xprop", "-root", "_NET_ACTIVE_WINDOW"], check=False)
    return int(value.split("#", 1)[1].split(",")[0], 16) if "#" in value else None


def second_start_brings_the_monitor_forward(desktop, folder):
    desktop.start_tray_host()
    program = start(desktop, folder, SkinMode=0, InTasktray=1, PosX=400, PosY=300)
    expect(not main_windows(desktop), "the window shows while in the tray")

    def second_start():
        second = Pulsmir(desktop, folder)
        expect(second.wait_exit(SLOW) == 0, "second start exit code")
        expect("another instance" in second.stderr, second.stderr)

    # Out of the tray, and in front.
    second_start()
    folder.wait_for_log("Out of TaskTray", timeout=SLOW)
    window = the_window(desktop)
    wait_until(lambda: active_window(desktop) == window, timeout=SLOW,
               what=f"the window in front (active: {active_window(desktop)})")
    # In front of another program's window that had the focus.
    other = open_client(desktop, "Other", "300x200+380+280")
    wait_until(lambda: active_window(desktop) == other, timeout=SLOW, what="the other in front")
    second_start()
    wait_until(lambda: active_window(desktop) == window, timeout=SLOW,
               what=f"the window in front again (active: {active_window(desktop)})")
    expect(folder.log_lines().count("Application Running...") == 1, "a second monitor ran")
    stop(program)


def tray_menu_and_back(desktop, folder):
    panel = desktop.start_tray_host()
    empty = tray_icon_width(desktop, panel)
    program = start(desktop, folder, SkinMode=0, InTasktray=1, PosX=400, PosY=300)
    wait_until(lambda: tray_icon_width(desktop, panel) > empty, timeout=SLOW,
               what="the icon in the tray")
    expect(not main_windows(desktop), "the window shows while in the tray")
    px, py, pw, ph = window_geometry(desktop, panel)
    desktop.run(["xdotool", "mousemove", str(px + pw // 2), str(py + ph // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "3"])
    menu = wait_until(lambda: menu_window(desktop), timeout=SLOW, what="the tray menu")
    # The first item shows its hint under the mouse, and brings the window back.
    mx, my, mw, _ = window_geometry(desktop, menu)
    desktop.run(["xdotool", "mousemove", str(mx + mw // 2), str(my + 10)])
    wait_until(lambda: hint_window(desktop), timeout=SLOW, what="the item's hint")
    desktop.run(["xdotool", "click", "1"])
    folder.wait_for_log("Out of TaskTray", timeout=SLOW)
    the_window(desktop)
    wait_until(lambda: tray_icon_width(desktop, panel) == empty, timeout=SLOW,
               what="the icon gone from the tray")
    stop(program)


def tray_without_notification_area(desktop, folder):
    program = start(desktop, folder, SkinMode=0, InTasktray=1, PosX=400, PosY=300)
    the_window(desktop)
    lines = folder.log_lines()
    expect("(!) No notification area: staying out of the tray" in lines, "no reason logged")
    expect("(!) No notification area: Move to tray disabled" in lines, "the item not disabled")
    stop(program)
    # The wish is kept for the next start, when the panel may be up.
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "InTasktray") == "1", "tray state")


def auto_active_switches_modes(desktop, folder):
    program = start(desktop, folder, SkinMode=0, AutoActiveSW=1, PosX=400, PosY=300)
    window = the_window(desktop)
    compact = window_geometry(desktop, window)[2:]
    client = open_client(desktop, "Other", "300x200+50+50")
    # Activating the program opens it to full mode, another window folds it back to compact.
    desktop.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)
    folder.wait_for_log("Skin Mode Change to FULL", timeout=SLOW)
    wait_until(lambda: window_geometry(desktop, window)[2:] != compact, timeout=SLOW,
               what="the full-mode size")
    desktop.run(["xdotool", "windowactivate", "--sync", str(client)], check=False)
    folder.wait_for_log("Skin Mode Change to COMPACT", timeout=SLOW)
    wait_until(lambda: window_geometry(desktop, window)[2:] == compact, timeout=SLOW,
               what="the compact size")
    stop(program)


def icon_editor_from_the_tray_menu(desktop, folder):
    panel = desktop.start_tray_host()
    empty = tray_icon_width(desktop, panel)
    # Icon files that are missing: the built-in lamps stand in, and that choice is kept.
    program = start(desktop, folder, SkinMode=0, InTasktray=1, TrayIconDefault=0,
                    Icons0="gone0.ico", Icons1="gone1.ico", Icons2="gone2.ico", Icons3="gone3.ico")
    expect("(!) Icon File(s) Does NOT Exist!" in folder.log_lines(), "missing icons not logged")
    wait_until(lambda: tray_icon_width(desktop, panel) > empty, timeout=SLOW,
               what="the icon in the tray")
    px, py, pw, ph = window_geometry(desktop, panel)
    desktop.run(["xdotool", "mousemove", str(px + pw // 2), str(py + ph // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "3"])
    time.sleep(0.8)
    desktop.run(["xdotool", "key", "--delay", "150", "Down", "Down", "Return"])
    title = desktop.answer_box("Tray Icon Selector", key="Return", timeout=SLOW)
    expect(title == "Tray Icon Selector", title)
    expect(tray_icon_width(desktop, panel) > empty, "the icon left the tray with the editor")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "TrayIconDefault") == "1",
           "the fall-back to the built-in icons is not kept")


def popup_menu(desktop, window, keys):
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "3"])
    time.sleep(0.8)
    desktop.run(["xdotool", "key", "--delay", "150", *keys])


def hint_window(desktop):
    """The hint (tool tip) the program shows now, other than the status tips window."""
    out = desktop.run(["xdotool", "search", "--onlyvisible", "--class", "pulsmir"], check=False)
    return next((int(w) for w in out.split()
                 if "TOOLTIP" in desktop.window_property(w, "_NET_WM_WINDOW_TYPE")
                 and desktop.window_name(w) != "Pulsmir Status Tips"), None)


def menu_window(desktop):
    """The program's pop-up menu shown while its main window is in the tray: the window taller
    than a tray icon that is no hint."""
    out = desktop.run(["xdotool", "search", "--onlyvisible", "--class", "pulsmir"], check=False)
    return next((int(w) for w in out.split() if window_geometry(desktop, w)[3] > 40
                 and "TOOLTIP" not in desktop.window_property(w, "_NET_WM_WINDOW_TYPE")), None)


def dotted_rows(desktop, x, y, width, height):
    """The rows of a screen rectangle drawn as the owner-drawn menu's separator: black on
    every second pixel."""
    rows = screen_pixels(desktop, x, y, width, height)
    return [i for i, row in enumerate(rows)
            if all(p == (0, 0, 0) for p in row[0::2]) and all(p != (0, 0, 0) for p in row[1::2])]


def menu_separators_and_wrapped_hints(desktop, folder):
    program = start(desktop, folder, SkinMode=0, ODMenuSW=1, AlphaWindow=1, PosX=50, PosY=50)
    window = the_window(desktop)
    x, y, w, h = window_geometry(desktop, window)
    cx, cy = x + w // 2, y + h // 2
    desktop.run(["xdotool", "mousemove", str(cx), str(cy)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "3"])
    time.sleep(0.8)
    # Three groups of items between them, each across the item's width inside the frame.
    separators = dotted_rows(desktop, cx + 1, cy, 180, 260)
    expect(len(separators) == 3, f"separator rows at {separators}")
    # The checked "Translucent" item, three items below the first separator: its round mark
    # whole, from the top row of its 7-pixel box to the bottom, the box's corners left out.
    mark_top = cy + separators[0] + 4 + 3 * 18 + 7
    mark = screen_pixels(desktop, cx + 3, mark_top, 7, 7)
    item = (240, 250, 255)
    expect(any(p != item for p in mark[0]) and any(p != item for p in mark[6]),
           f"the mark is cut: {mark}")
    expect(all(mark[r][c] == item for r in (0, 6) for c in (0, 6)), f"a square mark: {mark}")
    # The tray item's hint (no tray here: it says why at length) as a paragraph.
    desktop.run(["xdotool", "mousemove", str(cx + 60), str(cy + 1 + 18 + 9)])
    hint = wait_until(lambda: hint_window(desktop), timeout=SLOW, what="the item's hint")
    _, _, hw, hh = window_geometry(desktop, hint)
    expect(hw < 500 and hh > 30, f"a {hw}x{hh} hint")
    desktop.run(["xdotool", "key", "Escape"])
    stop(program)


def opacity(desktop, window):
    value = desktop.window_property(window, "_NET_WM_WINDOW_OPACITY")
    return int(value.split("=", 1)[1]) if "=" in value else None


def menu_switches_floating_and_translucency(desktop, folder):
    program = start(desktop, folder, SkinMode=0, FloatSW=0, AlphaWindow=0, PosX=50, PosY=500)
    window = the_window(desktop)
    client = open_client(desktop, "FloatTarget", "600x200+150+120")
    # Past the mode and skin items into the floating submenu (the disabled tray item, with no
    # notification area here, is passed over); its first item.
    popup_menu(desktop, window, ["Down", "Down", "Down", "Right", "Return"])
    left, top, right, bottom = frame_of(desktop, client)
    desktop.run(["xdotool", "windowactivate", "--sync", str(client)], check=False)
    wait_until(lambda: position(desktop, window) == (right + OFFSET_X, top + OFFSET_Y),
               timeout=SLOW, what="the window floating after the menu switched it on")
    # Past the mode, skin, floating and sound items (not the disabled tray item): translucency.
    popup_menu(desktop, window, ["Down", "Down", "Down", "Down", "Down", "Return"])
    wait_until(lambda: opacity(desktop, window) == 160 * 0xFFFFFFFF // 255, timeout=SLOW,
               what=f"160/255 opacity (it is {opacity(desktop, window)})")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "FloatSW") == "1", "floating not saved")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "AlphaWindow") == "1", "alpha not saved")
