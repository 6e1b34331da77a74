"""Skin switches that start from, or end in, trouble: a skin picked after a start without any
(and without a Skin folder, which comes back while the monitor runs), a configured skin that is
broken beside others, and a skin whose background is no picture. Skins are picked through the
menu."""

import os
import shutil
import threading
import time

from harness import E2EError, Pulsmir
from monitor_cases import FIXTURES, install_skin, open_skin_menu, the_window
from option_cases import busy, frames_per_second
from shell_cases import expect
from window_cases import start


def copy_fixture_skin(folder, file_base):
    """The test skin added to the Skin folder as it is, the folder itself left in place."""
    skin_dir = folder.file("Skin")
    shutil.copytree(os.path.join(FIXTURES, "Golden"), os.path.join(skin_dir, file_base))
    shutil.copy(os.path.join(FIXTURES, "Golden.ini"), os.path.join(skin_dir, file_base + ".ini"))


def a_skin_picked_after_an_empty_start_runs_the_meters(desktop, folder):
    shutil.rmtree(folder.file("Skin"), ignore_errors=True)
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden", SkinMode=1,
                    PerfRate=1, PingEnable=0)
    program = Pulsmir(desktop, folder)
    # One box says that there is no skin and that the monitor runs on without one.
    expect(desktop.answer_box() == "Pulsmir - Warning", "no warning about the missing skins")
    folder.wait_for_log("Application Running...")
    time.sleep(1.0)
    expect(not desktop.boxes(), "a second box after the one about the missing skins")
    # The Skin folder comes back; the watch on the program folder notices it.
    copy_fixture_skin(folder, "Golden")
    # The folder watch refreshes the menu a second after the change; until then it offers
    # "(No Skin!)" alone.
    for attempt in range(5):
        time.sleep(1.5)
        open_skin_menu(desktop, the_window(desktop))
        desktop.run(["xdotool", "key", "Return"])
        try:
            folder.wait_for_log("Skin 'Golden' Loaded...Complete", timeout=5)
            break
        except E2EError:
            desktop.run(["xdotool", "key", "Escape", "Escape", "Escape"])
    else:
        raise E2EError("the skin added after the start could not be picked")
    window = the_window(desktop)
    stop = threading.Event()
    threading.Thread(target=busy, args=(stop,), daemon=True).start()
    try:
        time.sleep(1.0)
        rate = frames_per_second(desktop, window)
    finally:
        stop.set()
    # A monitor that measures nothing draws its meters at 0 once and never again.
    expect(rate > 1.0, f"{rate:.1f} frames a second under load: the meters do not move")
    expect(program.terminate() == 0, "exit")


def a_broken_configured_skin_falls_back_to_the_first_that_loads(desktop, folder):
    install_skin(folder, "Golden", "Golden")
    for name in ("Broken", "Damaged"):
        install_skin(folder, name, name)
        with open(folder.file(f"Skin/{name}/bg_l.bmp"), "wb") as handle:
            handle.write(b"BM not a bitmap at all")
    # "Damaged" is configured; "Broken", listed first, is broken too.
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Damaged", SkinMode=1)
    program = Pulsmir(desktop, folder)
    expect(desktop.answer_box() == "Pulsmir - Information", "no note of the substitute skin")
    folder.wait_for_log("Skin 'Golden' Loaded...Complete")
    folder.wait_for_log("Application Running...")
    expect(not desktop.boxes(), "a box after the note of the substitute skin")
    expect("Skin 'Broken' not loaded" in folder.log_lines(), "the broken skins were not tried")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Golden",
           "the substitute skin is not kept")


def a_background_that_is_no_picture_keeps_the_skin_in_use(desktop, folder):
    install_skin(folder, "Golden", "Golden")
    install_skin(folder, "Broken", "Broken")
    with open(folder.file("Skin/Broken/bg_l.bmp"), "wb") as handle:
        handle.write(b"BM not a bitmap at all")
    program = start(desktop, folder, CurrentSkinName="Golden", SkinMode=1)
    # "Broken" comes first in the menu.
    open_skin_menu(desktop, the_window(desktop))
    desktop.run(["xdotool", "key", "Return"])
    expect(desktop.answer_box() == "Pulsmir - Error", "no load error")
    folder.wait_for_log("Skin 'Broken' not loaded")
    lines = folder.log_lines()
    expect("Skin 'Broken' Loaded...Complete" not in lines, "the broken skin counted as loaded")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Golden",
           "the skin in use was given up")
