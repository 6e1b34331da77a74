"""The monitor on sway with Xwayland: sway ignores an X11 window's own moves (it centres a
floating window at every request) and its shape, so the window is placed through sway's IPC,
dragged by sway's own move, and made transparent in its cut-outs. Each case starts a headless
sway of its own; input is a real pointer (sway_desktop.SwayDesktop)."""

import os
import re
import time

from harness import Pulsmir, screen_pixels, skin_region, wait_until, window_geometry
from monitor_cases import install_skin
from shell_cases import expect, main_windows
from sway_desktop import SwayDesktop

DESKTOP = SwayDesktop
SLOW = 60.0


def start(desktop, folder, env=None, **settings):
    settings.setdefault("ResourceName", "English")
    settings.setdefault("NoSplash", 1)
    folder.settings(**settings)
    program = Pulsmir(desktop, folder, env=env)
    folder.wait_for_log("Application Running...", timeout=SLOW)
    return program


def stop(program):
    expect(program.terminate() == 0, "exit code after SIGTERM")


def the_window(desktop):
    return wait_until(lambda: next(iter(main_windows(desktop)), None), timeout=SLOW,
                      what="the main window")


def at(desktop, window, place, what):
    wait_until(lambda: (desktop.window_rect(window) or (None, None))[:2] == place, timeout=SLOW,
               what=f"the window at {place} ({what}); sway has it at "
                    f"{desktop.window_rect(window)}")


DROP = r"DRAG End: (-?\d+),(-?\d+)"


def positions(folder, pattern):
    return [(int(m[1]), int(m[2])) for m in
            (re.fullmatch(pattern, line) for line in folder.log_lines()) if m]


def drag(desktop, grab, to, steps=10):
    """Presses the left button at grab, moves to `to` in steps and lets go there."""
    desktop.pointer_to(*grab)
    time.sleep(0.3)
    desktop.press()
    time.sleep(0.3)
    for i in range(1, steps + 1):
        desktop.pointer_to(grab[0] + (to[0] - grab[0]) * i // steps,
                           grab[1] + (to[1] - grab[1]) * i // steps)
        time.sleep(0.05)
    time.sleep(0.3)
    desktop.release()


def saved_position(folder):
    return (int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosX")),
            int(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosY")))


def placed_at_the_saved_place(desktop, folder):
    program = start(desktop, folder, SkinMode=0, PosX=100, PosY=120)
    window = the_window(desktop)
    expect('Window Placement : sway IPC (window manager "wlroots wm")' in folder.log_lines(),
           "sway's IPC is not what places the window")
    at(desktop, window, (100, 120), "the saved place, not the centre")
    # A double click switches the mode; the new size goes to sway as a request, which centres
    # the window, and the window goes back to its place.
    x, y, w, h = desktop.window_rect(window)
    desktop.pointer_to(x + 10, y + h // 2)
    time.sleep(0.3)
    desktop.click()
    time.sleep(0.08)
    desktop.click()
    folder.wait_for_log("Skin Mode Change to FULL", timeout=SLOW)
    wait_until(lambda: desktop.window_rect(window)[2:] != (w, h), timeout=SLOW,
               what="the full mode's size")
    at(desktop, window, (100, 120), "the same place in the full mode")
    time.sleep(0.5)
    at(desktop, window, (100, 120), "still there once sway has taken the new size")
    # Moved by sway's own means (a command, as its modifier drag would): the settings follow.
    desktop.swaymsg(f"[id={window}] move absolute position 640 300")
    at(desktop, window, (640, 300), "where sway put it")
    time.sleep(0.5)
    stop(program)
    expect(saved_position(folder) == (640, 300), f"saved {saved_position(folder)}")


def dragged_by_the_window_manager(desktop, folder):
    program = start(desktop, folder, SkinMode=0, PosX=200, PosY=200)
    window = the_window(desktop)
    at(desktop, window, (200, 200), "the saved place")
    x, y, w, h = desktop.window_rect(window)
    drag(desktop, (x + 10, y + h // 2), (x + 310, y + h // 2 + 150))
    wait_until(lambda: positions(folder, DROP), timeout=SLOW,
               what="the drop")
    expect(positions(folder, DROP)[-1] == (500, 350),
           f"drop logged at {positions(folder, DROP)[-1]}")
    at(desktop, window, (500, 350), "where the pointer took it")

    # Let go 5 pixels from the right edge: it snaps flush, through sway.
    x, y, w, h = desktop.window_rect(window)
    drag(desktop, (x + 10, y + h // 2), (x + 10 + desktop.width - 5 - w - x, y + h // 2))
    wait_until(lambda: len(positions(folder, DROP)) == 2, timeout=SLOW,
               what="the second drop")
    expect(positions(folder, DROP)[-1] == (desktop.width - w, 350),
           f"snapped to {positions(folder, DROP)[-1]}")
    at(desktop, window, (desktop.width - w, 350), "flush with the right edge")
    stop(program)
    expect(saved_position(folder) == (desktop.width - w, 350),
           f"the settings keep {saved_position(folder)}")


def cut_outs_show_the_desktop(desktop, folder):
    skin = install_skin(folder)
    program = start(desktop, folder, CurrentSkinName="Golden", SkinMode=1, PosX=300, PosY=200)
    window = the_window(desktop)
    expect("Window Shape : transparent cut-outs (compositing)" in folder.log_lines(),
           "no transparent cut-outs under a compositor")
    rects = skin_region(folder.bin_dir, skin, "full")
    at(desktop, window, (300, 200), "the saved place")
    time.sleep(1.0)  # a few frames
    x, y, w, h = desktop.window_rect(window)
    pixels = screen_pixels(desktop, x, y, w, h)
    inside = {(col, row) for rx, ry, rw, rh in rects
              for row in range(ry, ry + rh) for col in range(rx, rx + rw)}
    outside = [(col, row) for row in range(h) for col in range(w) if (col, row) not in inside]
    expect(outside, "the skin has no cut-outs to look through")
    background = (0x33, 0x66, 0xcc)
    wrong = [pixels[row][col] for col, row in outside if pixels[row][col] != background]
    expect(not wrong, f"{len(wrong)} of {len(outside)} cut-out pixels are not the desktop "
                      f"behind (e.g. {wrong[:1]})")
    drawn = sum(1 for col, row in inside if pixels[row][col] != background)
    expect(drawn > 0.8 * len(inside), f"only {drawn} of {len(inside)} face pixels are drawn")
    stop(program)


def splash_unframed_with_clear_corners(desktop, folder):
    # The careful start's checks keep the splash up for a second at least.
    folder.settings(ResourceName="English", NoSplash=0, Carefully=1)
    program = Pulsmir(desktop, folder)
    splash = wait_until(
        lambda: next((w for w in desktop.windows("^Pulsmir Splash$") if desktop.is_viewable(w)),
                     None), timeout=SLOW, what="the splash")
    x, y, w, h = window_geometry(desktop, splash)
    pixels = screen_pixels(desktop, x, y, w, h)
    # A window sway manages gets its title bar and a button in the taskbar.
    expect(desktop.node_of(splash) is None, "sway manages the splash as a window")
    expect(desktop.is_viewable(splash), "the splash went before it was looked at")
    corners = [pixels[1][1], pixels[1][w - 2], pixels[h - 2][1], pixels[h - 2][w - 2]]
    expect(all(p == (0x33, 0x66, 0xcc) for p in corners),
           f"the corners cut out of the splash are {corners}, not the desktop")
    folder.wait_for_log("Application Running...", timeout=SLOW)
    stop(program)


def floating_gives_up_quietly(desktop, folder):
    # Without sway's IPC the window's moves are all it has, and sway does not make them.
    program = start(desktop, folder, env={"SWAYSOCK": ""}, SkinMode=0, FloatSW=1, FloatAnim=0,
                    PosX=50, PosY=500)
    expect('Window Placement : none (window manager "wlroots wm")' in folder.log_lines(),
           "the placement without IPC")
    the_window(desktop)
    desktop.spawn(["xmessage", "-name", "FloatTarget", "-title", "FloatTarget", "FloatTarget"])
    wait_until(lambda: positions(folder, r"\(!\) Float Move refused at (-?\d+),(-?\d+): .*"),
               timeout=SLOW, what="floating to give up")
    moves = len(positions(folder, r"Float Move: (-?\d+),(-?\d+)"))
    # A few for each place it was sent to (the corner, then the other window's edge).
    expect(0 < moves <= 60, f"{moves} moves before giving up")

    def stays():
        return [line for line in folder.log_lines()
                if line.startswith("(!) Window Placement : the window stays at")]

    # Checked a moment after the last move, which may come after floating gave up.
    wait_until(stays, timeout=SLOW, what="the place the window stays at in the log")
    time.sleep(3.0)
    expect(len(stays()) == 1, f"a refused move is logged once, not at every try: {len(stays())}")
    expect(len(positions(folder, r"Float Move: (-?\d+),(-?\d+)")) == moves,
           "floating went on moving after it gave up")
    stop(program)


def tray_restores_with_one_click(desktop, folder):
    desktop.start_waybar()
    program = start(desktop, folder, SkinMode=0, InTasktray=1, PosX=400, PosY=300)
    wait_until(desktop.tray_items, timeout=SLOW, what="the icon in waybar's tray")
    expect(not main_windows(desktop), "the window shows while in the tray")
    # waybar's tray sits at the right end of the bar and sends one Activate for one left click,
    # never a double click. The icon is drawn a moment after the item registers.
    time.sleep(1.0)
    desktop.pointer_to(desktop.width - 14, 13)
    time.sleep(0.3)
    desktop.click()
    folder.wait_for_log("Out of TaskTray", timeout=SLOW)
    expect(folder.log_lines().count("Out of TaskTray") == 1, "restored more than once")
    window = the_window(desktop)
    at(desktop, window, (400, 300), "its place, not where sway maps a window")
    wait_until(lambda: not desktop.tray_items(), timeout=SLOW, what="the icon gone from the tray")
    stop(program)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "InTasktray") == "0", "tray state saved")


def docked_below_waybar(desktop, folder):
    # waybar keeps a strip at the top; sway tells the work area through its IPC only.
    desktop.start_waybar()
    program = start(desktop, folder, SkinMode=0, PosX=300, PosY=300)
    window = the_window(desktop)
    at(desktop, window, (300, 300), "the saved place")
    bar = desktop.work_area()[1]
    expect(bar > 0, "waybar keeps no strip")
    x, y, w, h = desktop.window_rect(window)
    # Let go 6 pixels below the bar: it docks to the bar's edge.
    drag(desktop, (x + 10, y + h // 2), (x + 10, y + h // 2 - (y - bar - 6)))
    wait_until(lambda: positions(folder, DROP), timeout=SLOW, what="the drop")
    expect(positions(folder, DROP)[-1] == (300, bar),
           f"dropped at {positions(folder, DROP)[-1]}, the bar ends at {bar}")
    at(desktop, window, (300, bar), "docked below the bar")
    stop(program)
    expect(saved_position(folder) == (300, bar), f"saved {saved_position(folder)}")


def floating_order(desktop):
    """The X11 windows of the floating containers, from the bottom up."""
    stack, order = [desktop.tree()], []
    while stack:
        node = stack.pop()
        order += [f.get("window") for f in node.get("floating_nodes", [])]
        stack.extend(node.get("nodes", []))
    return order


def floating_through_sway(desktop, folder):
    # With sway's IPC the floating moves are made: the window rides on the window in front,
    # on the title bar sway draws for it (which sway tells only through its IPC).
    program = start(desktop, folder, SkinMode=0, FloatSW=1, FloatAnim=0, PosX=50, PosY=500)
    window = the_window(desktop)
    desktop.spawn(["xmessage", "-name", "FloatTarget", "-title", "FloatTarget", "-geometry",
                   "600x200", "FloatTarget"])
    client = wait_until(lambda: next(iter(desktop.windows("^FloatTarget$")), None), timeout=SLOW,
                        what="the other window")
    wait_until(lambda: desktop.window_rect(client), timeout=SLOW, what="its tile")
    # The default skin's compact mode rides 370 pixels left of the right edge, on the top of
    # the title bar; sway's rect of a view leaves the title bar out. The tile fills the
    # workspace, its title bar at the top.
    x, y, w, h = desktop.window_rect(client)
    at(desktop, window, (x + w - 370, desktop.work_area()[1]), "riding on the tile's title bar")
    # Moved, a floating window's title bar is where it was put. Focused, the window covers the
    # floating windows below it, and the face comes on top.
    desktop.swaymsg(f"[id={client}] floating enable, move absolute position 200 150, focus")
    x, y, w, h = desktop.window_rect(client)
    at(desktop, window, (x + w - 370, 150), "riding on the floating window's title bar")
    wait_until(lambda: floating_order(desktop)[-1:] == [window], timeout=SLOW,
               what=f"the face above the window in front ({floating_order(desktop)})")
    stop(program)
    expect(not positions(folder, r"\(!\) Float Move refused at (-?\d+),(-?\d+): .*"),
           "floating gave up although sway made its moves")


def translucent_through_sway(desktop, folder):
    # sway ignores _NET_WM_WINDOW_OPACITY; "Translucent" goes through its IPC.
    program = start(desktop, folder, SkinMode=0, AlphaWindow=1, PosX=300, PosY=300)
    window = the_window(desktop)
    at(desktop, window, (300, 300), "the saved place")

    def bluish():
        # The default face is grey; the desktop behind is blue, and shows through.
        x, y, w, h = desktop.window_rect(window)
        pixels = screen_pixels(desktop, x + w // 4, y + h // 4, w // 2, h // 2)
        return sum(b - r for row in pixels for r, g, b in row) / (len(pixels) * len(pixels[0]))

    wait_until(lambda: bluish() > 40, timeout=SLOW,
               what=f"the desktop through the face (blue over red {bluish():.0f})")
    stop(program)


def tips_window(desktop):
    return next((w for w in desktop.windows("^Pulsmir Status Tips$") if desktop.is_viewable(w)),
                None)


def hidden_near_the_pointer_comes_back(desktop, folder):
    program = start(desktop, folder, SkinMode=0, AutoHidingOnMouse=1, PosX=400, PosY=300)
    window = the_window(desktop)
    at(desktop, window, (400, 300), "the saved place")
    x, y, w, h = desktop.window_rect(window)
    desktop.pointer_to(x + w // 2, y + h // 2)
    wait_until(lambda: not desktop.is_viewable(window), timeout=SLOW,
               what="the window hidden under the pointer")
    hidden_at = time.monotonic()
    # Onto the bare desktop: Xwayland sees no pointer there, so nothing says it went away.
    desktop.pointer_to(x + w + 300, y + h + 200)
    wait_until(lambda: desktop.is_viewable(window), timeout=SLOW,
               what="the window back when the pointer could not be seen")
    expect(time.monotonic() - hidden_at >= 2.5, "back before the pointer rested for 3 seconds")
    # sway maps a window anew in the middle of the workspace.
    at(desktop, window, (400, 300), "its place again, not where sway maps a window")
    # Seen moving over it again, it hides again (a mouse passes the edge on its way in; the
    # point it was last seen at would look like a pointer that never moved).
    desktop.pointer_to(x + w - 4, y + h // 2)
    time.sleep(0.2)
    desktop.pointer_to(x + w // 2 + 20, y + h // 2)
    wait_until(lambda: not desktop.is_viewable(window), timeout=SLOW, what="hidden again")
    lines = folder.log_lines()
    expect(lines.count("Proximity Hidden") == 2 and lines.count("Proximity Shown") == 1,
           f"hidden {lines.count('Proximity Hidden')} and shown "
           f"{lines.count('Proximity Shown')} times")
    stop(program)


def tip_hides_when_the_pointer_leaves(desktop, folder):
    program = start(desktop, folder, SkinMode=0, PosX=400, PosY=300)
    window = the_window(desktop)
    at(desktop, window, (400, 300), "the saved place")
    x, y, w, h = desktop.window_rect(window)
    # The tip shows for the window in front (a click would hold it back for a minute).
    desktop.swaymsg(f"[id={window}] focus")
    desktop.pointer_to(x + w // 2, y + h // 2)
    tip = wait_until(lambda: tips_window(desktop), timeout=SLOW, what="the status tip")
    # Onto the desktop, where no X11 window is: Xwayland keeps the pointer where it last saw
    # it, on the face, so only the leave tells.
    desktop.pointer_to(x + w + 200, y + h + 200)
    wait_until(lambda: not desktop.is_viewable(tip), timeout=SLOW,
               what="the tip hidden after the pointer left")
    # Back on the face, it shows again after the rest.
    desktop.pointer_to(x + w // 2 + 5, y + h // 2)
    wait_until(lambda: tips_window(desktop), timeout=SLOW, what="the tip again")
    stop(program)
