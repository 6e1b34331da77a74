"""The options dialog, the speed range dialog and the skin banner on the real program."""

import os
import socket
import subprocess
import threading
import time

from harness import Pulsmir, screen_pixels, shape_extents, wait_until, window_geometry
from shell_cases import expect, main_windows
from window_cases import popup_menu, start

DIALOG = "Pulsmir Option"


def the_window(desktop):
    return wait_until(lambda: next(iter(main_windows(desktop)), None), what="the main window")


def open_options(desktop, window):
    # Up from the top of the menu: Exit, Help, then Options.
    popup_menu(desktop, window, ["Up", "Up", "Up", "Return"])
    dialog = wait_until(lambda: next((w for w in desktop.windows("^" + DIALOG + "$")
                                      if desktop.is_viewable(w)), None), what="the options dialog")
    desktop.run(["xdotool", "windowactivate", "--sync", str(dialog)], check=False)
    time.sleep(0.5)
    return dialog


def options_open_and_close(desktop):
    """The window answers: its options dialog opens and closes again."""
    open_options(desktop, the_window(desktop))
    desktop.run(["xdotool", "key", "Escape"])
    wait_until(lambda: not desktop.windows("^" + DIALOG + "$"), timeout=10,
               what="the options closed")


def face_whole_pixels_and_dialogs_at_the_desktops_scale(desktop, folder):
    # At a desktop scale of 1.5 a skin pixel takes one screen pixel, not one or two unevenly,
    # and the outline cuts between the same pixels (the cut-outs' magenta never shows); the
    # options dialog is drawn at the desktop's scale all the same.
    sizes = {}
    for scale in ("1", "1.5"):
        folder.settings(ResourceName="English", NoSplash=1, SkinMode=0, PosX=100, PosY=100)
        runs = folder.log_lines().count("Application Running...")
        program = Pulsmir(desktop, folder, env={"QT_SCALE_FACTOR": scale})
        folder.wait_for_log("Application Running...", count=runs + 1)
        window = the_window(desktop)
        x, y, w, h = window_geometry(desktop, window)
        face = w, h
        time.sleep(0.5)
        magenta = sum(row.count((255, 0, 255)) for row in screen_pixels(desktop, x, y, w, h))
        expect(magenta == 0, f"{magenta} pixels of the cut-outs show at {scale}")
        expect(shape_extents(desktop, window) == face,
               f"the outline is {shape_extents(desktop, window)} at {scale}")
        sizes[scale] = face, window_geometry(desktop, open_options(desktop, window))[2:]
        expect(program.terminate() == 0, "exit")
    (face, dialog), (scaled_face, scaled_dialog) = sizes["1"], sizes["1.5"]
    # The window's units may round up by one screen pixel.
    expect(all(0 <= s - f <= 1 for f, s in zip(face, scaled_face)),
           f"the face is {scaled_face} at 1.5, {face} at 1")
    expect(scaled_dialog[0] >= 1.4 * dialog[0], f"the dialog is {scaled_dialog} at 1.5, "
                                                 f"{dialog} at 1")


def frames_per_second(desktop, window, seconds=3.0):
    counter = os.path.join(os.environ["PULSMIR_E2E_HELPERS"], "pulsmir_frame_counter")
    out = subprocess.run([counter, str(window), str(seconds)], env=desktop.env(),
                         capture_output=True, text=True, timeout=seconds + 20).stdout
    return len(out.split()) / seconds


def busy(stop):
    # On and off, so the processor meter moves on every tick.
    while not stop.is_set():
        end = time.monotonic() + 0.03
        while time.monotonic() < end:
            pass
        time.sleep(0.03)


def a_changed_display_rate_takes_effect_at_once(desktop, folder):
    stop = threading.Event()
    threading.Thread(target=busy, args=(stop,), daemon=True).start()
    try:
        program = start(desktop, folder, PerfRate=3, SkinMode=1, PingEnable=0)
        window = the_window(desktop)
        time.sleep(1.0)
        slow = frames_per_second(desktop, window)
        open_options(desktop, window)
        # To the measurement page, on to its first choice, "20 times per second", and OK.
        desktop.run(["xdotool", "key", "--delay", "200", "ctrl+Tab", "Tab", "space", "Return"])
        wait_until(lambda: not desktop.windows("^" + DIALOG + "$"), timeout=10, what="the dialog gone")
        time.sleep(1.0)
        fast = frames_per_second(desktop, the_window(desktop))
    finally:
        stop.set()
    print(f"frames a second: {slow:.1f} at 2 ticks a second, {fast:.1f} after the change to 20")
    # Ten times the ticks; on a loaded machine the frames drawn fall short of that, but a rate
    # that took effect only at the next start would leave them where they were.
    expect(fast > 2 * max(slow, 1.0), f"frames a second: {slow:.1f} before, {fast:.1f} after")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PerfRate") == "4", "the rate is not kept")


def cancel_changes_nothing(desktop, folder):
    program = start(desktop, folder, AlwaysTop=1)
    open_options(desktop, the_window(desktop))
    # The first control is "Always on top": switched off, then cancelled.
    desktop.run(["xdotool", "key", "--delay", "200", "space", "Escape"])
    wait_until(lambda: not desktop.windows("^" + DIALOG + "$"), timeout=10, what="the dialog gone")
    window = the_window(desktop)
    expect("_NET_WM_STATE_ABOVE" in desktop.window_property(window, "_NET_WM_STATE"), "not on top")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "AlwaysTop") == "1", "cancel changed the file")


def banner_at_a_skin_switch(desktop, folder):
    program = start(desktop, folder, ShowSkinBanner=1, LogoPosition=4, SkinMode=1)
    client = socket.create_connection(("127.0.0.1", 4830))
    client.sendall(b"SELECTSKIN:FlatDigital.ini")
    client.close()
    banner = wait_until(lambda: next((w for w in desktop.windows("^Pulsmir Banner$")
                                      if desktop.is_viewable(w)), None), timeout=10,
                        what="the banner")
    shown = time.monotonic()
    x, y, w, h = window_geometry(desktop, banner)
    expect((w, h) == (198, 38), f"banner size {w}x{h}")
    expect((x, y) == (desktop.width - 16 - 198, desktop.height - 16 - 38),
           f"banner at {x},{y} instead of the lower right")
    wait_until(lambda: not desktop.is_viewable(banner), timeout=6, what="the banner gone")
    visible = time.monotonic() - shown
    expect(1.4 < visible < 3.5, f"the banner showed for {visible:.1f} s")
    expect(program.terminate() == 0, "exit")
