"""The live monitor: the skinned window, skin switching, modes and the skin fall-backs."""

import os
import shutil
import socket
import subprocess
import threading
import time

from harness import (Desktop, E2EError, Pulsmir, screen_pixels, skin_region, wait_until,
                     window_geometry)
from shell_cases import expect, main_windows

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../fixtures/skin")


def install_skin(folder, name="Golden", file_base="Golden"):
    """The test skin under the given SkinName and file name, alone in the Skin folder."""
    skin_dir = folder.file("Skin")
    if not any(entry.startswith("Golden") or entry.startswith("Twin") for entry in os.listdir(skin_dir)):
        shutil.rmtree(skin_dir)
        os.makedirs(skin_dir)
    shutil.copytree(os.path.join(FIXTURES, "Golden"), os.path.join(skin_dir, file_base))
    with open(os.path.join(FIXTURES, "Golden.ini"), encoding="utf-8") as handle:
        text = handle.read().replace("SkinName=Golden", f"SkinName={name}")
    with open(os.path.join(skin_dir, file_base + ".ini"), "w", encoding="utf-8") as handle:
        handle.write(text)
    return os.path.join(skin_dir, file_base + ".ini")


def the_window(desktop):
    windows = wait_until(lambda: main_windows(desktop), what="the main window")
    return windows[0]


def region_size(rects):
    return max(x + w for x, y, w, h in rects), max(y + h for x, y, w, h in rects)


def drawn_share(desktop, window, rects):
    """The share of a window's shaped pixels that are drawn (not black), and whether the desktop
    shows through everywhere outside its shape."""
    x, y, w, h = window_geometry(desktop, window)
    pixels = screen_pixels(desktop, x, y, w, h)
    inside = set()
    for rx, ry, rw, rh in rects:
        for row in range(ry, ry + rh):
            for col in range(rx, rx + rw):
                inside.add((col, row))
    outside_black = all(pixels[row][col] == (0, 0, 0)
                        for row in range(h) for col in range(w) if (col, row) not in inside)
    lit = sum(1 for col, row in inside if pixels[row][col] != (0, 0, 0))
    return lit / len(inside), outside_black


def first_frames_and_shape(desktop, folder):
    skin = install_skin(folder)
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden", SkinMode=1)
    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    expect("Skin 'Golden' Loaded...Complete" in folder.log_lines(), "skin not loaded")
    window = the_window(desktop)
    rects = skin_region(folder.bin_dir, skin, "full")
    width, height = region_size(rects)
    wait_until(lambda: window_geometry(desktop, window)[2:] == (width, height), timeout=10,
               what=f"a {width}x{height} window")
    time.sleep(1.0)  # a few frames
    desktop.screenshot(os.path.join(folder.path, "screen.png"))
    share, outside_black = drawn_share(desktop, window, rects)
    expect(outside_black, "the desktop does not show through outside the skin's shape")
    expect(share > 0.8, f"only {share:.0%} of the shaped pixels are drawn")
    expect(program.terminate() == 0, "exit")


class SixteenBitScreen(Desktop):
    """An X screen of 16 bits a pixel, whose windows the program cannot put its 32-bit pixels
    into: it paints through Qt there."""

    def __init__(self):
        super().__init__(depth=16)


def first_frames_on_a_sixteen_bit_screen(desktop, folder):
    first_frames_and_shape(desktop, folder)


first_frames_on_a_sixteen_bit_screen.desktop = SixteenBitScreen


def open_skin_menu(desktop, window):
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)])
    desktop.run(["xdotool", "click", "3"])
    time.sleep(0.4)
    # Down past the mode item to the skin submenu, and into it; "Move to tray" is disabled on a
    # desktop without a notification area, and the keys pass over it.
    desktop.run(["xdotool", "key", "--delay", "120", "Down", "Down", "Right"])
    time.sleep(0.3)


def switch_skins_through_the_menu(desktop, folder):
    install_skin(folder, "Golden", "Golden")
    install_skin(folder, "Golden Twin", "Twin")
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden", SkinMode=1)
    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    window = the_window(desktop)
    # The list is sorted by "name=path": "Golden Twin" comes before "Golden".
    open_skin_menu(desktop, window)
    desktop.run(["xdotool", "key", "Return"])
    folder.wait_for_log("Skin 'Golden Twin' Loaded...Complete")
    open_skin_menu(desktop, the_window(desktop))
    desktop.run(["xdotool", "key", "--delay", "120", "Down", "Return"])
    folder.wait_for_log("Skin 'Golden' Loaded...Complete", count=2)
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Golden", "choice lost")


def switch_modes_by_double_click(desktop, folder):
    skin = install_skin(folder)
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden", SkinMode=1)
    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    window = the_window(desktop)
    compact = region_size(skin_region(folder.bin_dir, skin, "compact"))
    full = region_size(skin_region(folder.bin_dir, skin, "full"))
    wait_until(lambda: window_geometry(desktop, window)[2:] == full, what="the full window")
    # There and back: the full mode's pictures went with the first switch and are read again.
    for mode, size in (("COMPACT", compact), ("FULL", full)):
        x, y, w, h = window_geometry(desktop, window)
        desktop.run(["xdotool", "mousemove", str(x + 10), str(y + h // 2)])
        time.sleep(0.5)
        desktop.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"])
        folder.wait_for_log("Skin Mode Change to " + mode)
        wait_until(lambda: window_geometry(desktop, window)[2:] == size,
                   what=f"the {mode.lower()} window")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "SkinMode") == "1", "mode not saved")


def configured_skin_gone(desktop, folder):
    install_skin(folder)
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Vanished Skin")
    program = Pulsmir(desktop, folder)
    title = desktop.answer_box("Pulsmir - Information")
    expect(title == "Pulsmir - Information", title)
    folder.wait_for_log("Application Running...")
    lines = folder.log_lines()
    expect('Skin "Vanished Skin" is not available.' in lines, "configured name not logged")
    expect(lines.count("Skin 'Golden' Loaded...Complete") == 2, "fall-back not loaded twice")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Golden", "fall-back")


def empty_skin_folder(desktop, folder):
    shutil.rmtree(folder.file("Skin"), ignore_errors=True)
    os.makedirs(folder.file("Skin"))
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden")
    program = Pulsmir(desktop, folder)
    # One box says the skins are missing; no second one contradicts it.
    expect(desktop.answer_box() == "Pulsmir - Warning", "no warning about the missing skins")
    folder.wait_for_log("Application Running...")
    expect(not desktop.boxes(), "a second box after the one about the missing skins")
    expect(not any("Loaded...Complete" in line for line in folder.log_lines()), "a skin loaded")
    expect(program.running(), "the program must run on without a skin")
    # The window shows the picture for no skin (220 x 64 pixels).
    window = wait_until(lambda: main_windows(desktop), what="the main window")[0]
    size = window_geometry(desktop, window)[2:]
    expect(size == (220, 64), f"the window is {size}, not the no-skin picture")
    expect(program.terminate() == 0, "exit")


def _loopback_traffic(stop, seconds=6.0):
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    port = server.getsockname()[1]

    def sink():
        connection, _ = server.accept()
        while connection.recv(1 << 20):
            pass
        connection.close()

    threading.Thread(target=sink, daemon=True).start()
    client = socket.create_connection(("127.0.0.1", port))
    chunk = b"x" * (1 << 20)
    deadline = time.monotonic() + seconds
    while not stop.is_set() and time.monotonic() < deadline:
        client.sendall(chunk)
        time.sleep(0.01)
    client.close()
    server.close()


def status_rates_rise_under_load(desktop, folder):
    install_skin(folder)  # the core samples once a skin is loaded
    # The loopback interface counts only when chosen as the one to measure.
    folder.settings(ResourceName="English", NoSplash=1, PerfRate=1, GraphRate=1,
                    CurrentSkinName="Golden", NTMultiNIC=1, NTTargetNIC="lo")
    stop = threading.Event()
    traffic = threading.Thread(target=_loopback_traffic, args=(stop,))
    traffic.start()
    env = desktop.env({"PULSMIR_HOME": folder.path, "XDG_RUNTIME_DIR": folder.runtime})
    try:
        out = subprocess.run([os.path.join(folder.bin_dir, "pulsmir"), "--status", "--count", "6"],
                             env=env, capture_output=True, text=True, timeout=60).stdout
    finally:
        stop.set()
        traffic.join()
    rates = [line.split(":", 1)[1].strip() for line in out.splitlines()
             if line.startswith(" NetworkAccess :")]
    expect(len(rates) == 6, f"snapshots: {out!r}")
    expect(any(rate.endswith("MB/s") for rate in rates), f"loopback traffic not seen: {rates}")
