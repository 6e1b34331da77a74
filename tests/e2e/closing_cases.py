"""Every way out ends cleanly: the Exit item of a StatusNotifierItem tray, SIGTERM, SIGINT and
SIGHUP, whatever dialog or box is open and at whatever step of the start-up; the settings are
saved once and whole. A failure that comes back at every skin switch opens one box, not a box
inside a box."""

import os
import shutil
import signal
import subprocess

from addin_cases import package, send
from faults import ReadOnlyFolder, isolate_network
from harness import Pulsmir, wait_until
from monitor_cases import install_skin
from option_cases import DIALOG, open_options, the_window
from session_bus import in_the_tray_on_a_bus
from shell_cases import SHUTDOWN_ORDER, expect, expect_in_order
from window_cases import start

SAVED = "Application Setting Saved"
ERROR_BOX = "Pulsmir - Error"
ADDIN_BOX = "Add-in File Installation"
TWIN_LOADED = "Skin 'Golden Twin' Loaded...Complete"
GOLDEN_LOADED = "Skin 'Golden' Loaded...Complete"


def expect_clean_exit(program, what):
    code = program.wait_exit()
    # A negative code is the signal that killed the process (SIGSEGV, SIGABRT: a crash).
    expect(code == 0, f"{what}: exit {code}; stderr: {program.stderr.strip()[-2000:]}")


def expect_saved_once_and_whole(folder):
    lines = folder.log_lines()
    expect(lines.count(SAVED) == 1, f"settings saved {lines.count(SAVED)} times")
    expect_in_order(lines, SHUTDOWN_ORDER)
    # Written in one piece: the first section's first key and the last section's last one.
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "Version") == "220", "Version")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "AlwaysTop") is not None, "AlwaysTop")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2_EventSound", "pRES") is not None, "pRES")


def no_boxes_left(desktop):
    wait_until(lambda: not desktop.boxes() and not desktop.boxes(DIALOG), timeout=10,
               what="no dialog or box left on the screen")


def break_file_type_registration(folder):
    """The file type of add-in packages cannot be registered from now on: where its folder
    must be, there is a file."""
    mime = os.path.join(folder.data, "mime")
    if os.path.isdir(mime):
        shutil.rmtree(mime)
    with open(mime, "w") as handle:
        handle.write("not a folder\n")


def a_signal_during_the_start_up_box_of_a_read_only_folder(desktop, folder):
    folder.settings(ResourceName="English", NoSplash=1)
    with open(folder.file("Pulsmir.ini"), "rb") as handle:
        settings = handle.read()
    with ReadOnlyFolder(folder.path):
        program = Pulsmir(desktop, folder)
        # The debug log cannot be written: its box comes before anything else is made.
        desktop.wait_box(ERROR_BOX)
        program.process.send_signal(signal.SIGTERM)
        expect_clean_exit(program, "SIGTERM during the log's box")
        no_boxes_left(desktop)
    with open(folder.file("Pulsmir.ini"), "rb") as handle:
        expect(handle.read() == settings, "the settings file changed")


def a_signal_during_the_add_in_box_on_the_command_line(desktop, folder):
    folder.settings(ResourceName="English", NoSplash=1, PingEnable=0)
    program = Pulsmir(desktop, folder, args=[package(folder)])
    desktop.wait_box(ADDIN_BOX)
    program.process.send_signal(signal.SIGTERM)
    expect_clean_exit(program, "SIGTERM during the add-in box")
    wait_until(lambda: not desktop.boxes(ADDIN_BOX) and not desktop.boxes(), timeout=10,
               what="no box left")
    expect(not os.path.exists(folder.file("Skin/PackGolden")), "installed without a yes")
    expect("Application Running..." not in folder.log_lines(), "started after the signal")


def the_add_in_box_on_the_command_line_speaks_the_chosen_language(desktop, folder):
    # Before any window: the language comes from the settings file alone.
    folder.settings(ResourceName="日本語", NoSplash=1, PingEnable=0)
    program = Pulsmir(desktop, folder, args=[package(folder)])
    box = desktop.wait_box("アドインファイルのインストール")
    expect(not desktop.boxes(ADDIN_BOX), "an English add-in box as well")
    program.process.send_signal(signal.SIGTERM)
    expect_clean_exit(program, "SIGTERM during the add-in box")
    expect(not desktop.is_viewable(box), "the box left open")


def a_signal_during_a_start_up_box(desktop, folder):
    break_file_type_registration(folder)
    folder.settings(ResourceName="English", NoSplash=1, PingEnable=0)
    program = Pulsmir(desktop, folder)
    # Applying the settings at the end of the start-up fails to register the file type.
    desktop.wait_box(ERROR_BOX)
    program.process.send_signal(signal.SIGTERM)
    expect_clean_exit(program, "SIGTERM during a start-up box")
    no_boxes_left(desktop)
    expect("Application Running..." not in folder.log_lines(), "the start-up went on")
    expect_saved_once_and_whole(folder)


def a_signal_while_the_options_dialog_is_open(desktop, folder):
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        open(folder.log_path, "w").close()
        program = start(desktop, folder, PingEnable=0)
        open_options(desktop, the_window(desktop))
        program.process.send_signal(number)
        expect_clean_exit(program, f"{signal.Signals(number).name} with the options open")
        no_boxes_left(desktop)
        expect_saved_once_and_whole(folder)


def a_signal_while_a_box_is_open(desktop, folder):
    isolate_network()  # port 4830 is this case's alone
    install_skin(folder, "Golden", "Golden")
    install_skin(folder, "Golden Twin", "Twin")
    program = start(desktop, folder, CurrentSkinName="Golden", PingEnable=0)
    folder.wait_for_log("Pulsmir Local Talk : Listening Started")
    break_file_type_registration(folder)
    # The switch applies the settings, whose registration fails: a box inside the switch.
    send(b"SELECTSKIN:Twin.ini")
    desktop.wait_box(ERROR_BOX)
    program.process.send_signal(signal.SIGTERM)
    expect_clean_exit(program, "SIGTERM during a box")
    no_boxes_left(desktop)
    expect_saved_once_and_whole(folder)
    # The switch under the box finished before the shutdown took everything down.
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Golden Twin",
           "the switch under way was lost")


def repeated_skin_switches_with_a_failing_registration_open_one_box(desktop, folder):
    isolate_network()  # port 4830 is this case's alone
    install_skin(folder, "Golden", "Golden")
    install_skin(folder, "Golden Twin", "Twin")
    program = start(desktop, folder, CurrentSkinName="Golden", PingEnable=0)
    folder.wait_for_log("Pulsmir Local Talk : Listening Started")
    break_file_type_registration(folder)
    send(b"SELECTSKIN:Twin.ini")
    box = desktop.wait_box(ERROR_BOX)
    # More switches while the box is open: each one runs inside it and fails the same way.
    for i in range(6):
        send(b"SELECTSKIN:Golden.ini" if i % 2 == 0 else b"SELECTSKIN:Twin.ini")
    folder.wait_for_log(GOLDEN_LOADED, count=4)
    folder.wait_for_log(TWIN_LOADED, count=4)
    expect(desktop.boxes(ERROR_BOX) == [box], f"boxes: {desktop.boxes(ERROR_BOX)}")
    desktop.answer_box(ERROR_BOX)
    # Reported once: later switches fail without a box.
    for i in range(4):
        send(b"SELECTSKIN:Golden.ini" if i % 2 == 0 else b"SELECTSKIN:Twin.ini")
    folder.wait_for_log(GOLDEN_LOADED, count=6)
    folder.wait_for_log(TWIN_LOADED, count=6)
    expect(not desktop.boxes(ERROR_BOX), "a box for a failure already reported")
    expect(program.terminate() == 0, "exit")
    expect_saved_once_and_whole(folder)


def exit_from_the_tray_menu_while_the_options_dialog_is_open(desktop, folder):
    with in_the_tray_on_a_bus(desktop, folder) as (bus, program):
        folder.wait_for_log("Application Running...")
        bus.expect_line("item ")
        # A panel's menu is no window of the program, so the options dialog does not block it.
        bus.click("Options...")
        wait_until(lambda: desktop.boxes(DIALOG), what="the options dialog")
        bus.click("Exit")
        expect_clean_exit(program, "Exit from the tray with the options open")
        no_boxes_left(desktop)
        expect_saved_once_and_whole(folder)
        expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "InTasktray") == "1", "tray mode lost")
