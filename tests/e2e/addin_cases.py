"""Add-in packages and Local Talk: a package opened on the command line, one dropped from
another application, hostile and slow packages, a package whose file system stops answering,
an install killed half-way, a skin folder linked elsewhere, SELECTSKIN from a local program,
and the file type registered for the desktop."""

import hashlib
import os
import shutil
import signal
import socket
import stat
import subprocess
import sys
import threading
import time

from faults import StalledFile
from harness import Pulsmir, wait_until, window_geometry
from monitor_cases import install_skin, the_window
from option_cases import busy
from shell_cases import expect, main_windows
from window_cases import start

PACKAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../fixtures/addin")
PACKAGED_SKIN = "Skin 'Packaged Golden' Loaded...Complete"
sys.path.insert(0, PACKAGES)
import make_packages  # noqa: E402


def package(folder, name="skin.pma"):
    """A copy of a fixture package outside the program folder, as a user would have it."""
    downloads = os.path.join(os.path.dirname(folder.path), "downloads")
    os.makedirs(downloads, exist_ok=True)
    target = os.path.join(downloads, name)
    shutil.copy(os.path.join(PACKAGES, name), target)
    return target


def package_on_the_command_line_switches_the_running_monitor(desktop, folder):
    install_skin(folder)
    program = start(desktop, folder, CurrentSkinName="Golden")
    second = Pulsmir(desktop, folder, args=[package(folder)])
    expect(desktop.answer_box("Add-in File Installation") == "Add-in File Installation", "confirm")
    expect(desktop.answer_box("Pulsmir - Information") == "Pulsmir - Information", "success box")
    expect(second.wait_exit() == 0, "the second process")
    expect("another instance is running" in second.stderr, second.stderr)
    folder.wait_for_log(PACKAGED_SKIN)
    expect("##Remote Control Start" in folder.log_lines(), "not switched over Local Talk")
    expect(os.path.exists(folder.file("Skin/PackGolden/notes/readme.txt")), "not unpacked")
    expect(not os.path.exists(folder.file("pma.$$$")), "pma.$$$ left behind")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Packaged Golden",
           "the new skin is not kept")


def package_for_a_drive_instance_asks_in_its_language(desktop, folder):
    folder.settings(ResourceName="English", NoSplash=1)
    folder.write("Pulsmir_3.ini", folder.read("Pulsmir.ini").replace("English", "日本語"))
    program = Pulsmir(desktop, folder, args=["/D:3", package(folder)])
    title = desktop.answer_box("アドイン", key="Escape", timeout=10)
    expect(title == "アドインファイルのインストール", title)
    expect(program.terminate() == 0, "exit")


def package_dropped_from_another_client(desktop, folder):
    install_skin(folder)
    program = start(desktop, folder, CurrentSkinName="Golden", PosX=500, PosY=300)
    window = the_window(desktop)
    notes = os.path.join(os.path.dirname(folder.path), "notes.txt")
    with open(notes, "w") as handle:
        handle.write("not a package\n")
    x, y, w, h = window_geometry(desktop, window)
    helper = os.path.join(os.environ["PULSMIR_E2E_HELPERS"], "pulsmir_xdnd_drop")
    dropper = desktop.spawn([helper, str(window), str(x + w // 2), str(y + h // 2),
                             package(folder), notes])
    # The files in the order they came: the package, then the text file.
    expect(desktop.answer_box("Add-in File Installation") == "Add-in File Installation", "confirm")
    desktop.answer_box("Pulsmir - Information")
    expect(desktop.answer_box("Pulsmir - Error") == "Pulsmir - Error", "no box for the text file")
    folder.wait_for_log(PACKAGED_SKIN)
    expect(dropper.wait(timeout=10) == 0, "the drop did not finish")
    expect(program.terminate() == 0, "exit")


def tree_digest(root, leave_out=("Debug.log",)):
    """Every file, folder and link below root with its mode and a hash of its content."""
    entries = []
    for folder, folders, files in os.walk(root):
        for name in folders + files:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root)
            if relative in leave_out:
                continue
            status = os.lstat(path)
            if stat.S_ISLNK(status.st_mode):
                entries.append((relative, "link", os.readlink(path)))
            elif stat.S_ISDIR(status.st_mode):
                entries.append((relative, oct(status.st_mode), "folder"))
            else:
                with open(path, "rb") as handle:
                    digest = hashlib.sha256(handle.read()).hexdigest()
                entries.append((relative, oct(status.st_mode), digest))
    return sorted(entries)


def drop(desktop, window, *files):
    x, y, w, h = window_geometry(desktop, window)
    helper = os.path.join(os.environ["PULSMIR_E2E_HELPERS"], "pulsmir_xdnd_drop")
    return desktop.spawn([helper, str(window), str(x + w // 2), str(y + h // 2), *files])


def frames_in(desktop, window, seconds):
    counter = os.path.join(os.environ["PULSMIR_E2E_HELPERS"], "pulsmir_frame_counter")
    out = subprocess.run([counter, str(window), str(seconds)], env=desktop.env(),
                         capture_output=True, text=True, timeout=seconds + 20).stdout
    return len(out.split())


def a_resource_package_that_brings_the_program_is_refused(desktop, folder):
    program = start(desktop, folder, PosX=500, PosY=300)
    window = the_window(desktop)
    downloads = os.path.join(os.path.dirname(folder.path), "downloads")
    os.makedirs(downloads, exist_ok=True)
    hostile = os.path.join(downloads, "takeover.pma")
    with open(hostile, "wb") as handle:
        handle.write(make_packages.level0(b"pma.$$$", make_packages.descriptor("RES", "Takeover")) +
                     make_packages.level0(b"sstp.ini", b"[Start]\r\n") +
                     make_packages.level1_unix(b"pulsmir", b"#!/bin/sh\n", 0o100755) +
                     make_packages.level0(b"Pulsmir.ini", b"[Pulsmir2]\r\n") +
                     make_packages.level0(b"Debug.log", b"") + b"\x00")
    before = tree_digest(folder.path)
    dropper = drop(desktop, window, hostile)
    expect(desktop.answer_box("Add-in File Installation") == "Add-in File Installation", "confirm")
    expect(desktop.answer_box("Pulsmir - Error") == "Pulsmir - Error", "no refusal box")
    expect(any(line.startswith("Add-in : refused: ") for line in folder.log_lines()),
           "the refusal is not logged")
    expect(tree_digest(folder.path) == before, "the program folder changed")
    expect(dropper.wait(timeout=10) == 0, "the drop did not finish")
    expect(program.terminate() == 0, "exit")


def a_slow_package_installs_off_the_window_and_cancel_puts_it_back(desktop, folder):
    """A package served through a pipe that stops half-way: the install waits on its own thread
    behind the progress dialog while the window goes on drawing; Cancel leaves the folders as
    they were."""
    install_skin(folder)
    stop = threading.Event()
    threading.Thread(target=busy, args=(stop,), daemon=True).start()
    try:
        program = start(desktop, folder, CurrentSkinName="Golden", PosX=500, PosY=300,
                        PerfRate=4, PingEnable=0)
        window = the_window(desktop)
        pipe = os.path.join(os.path.dirname(folder.path), "slow.pma")
        os.mkfifo(pipe)
        with open(os.path.join(PACKAGES, "skin.pma"), "rb") as handle:
            content = handle.read()

        def serve():
            with open(pipe, "wb", buffering=0) as writer:  # waits for the installer
                writer.write(content[:len(content) * 3 // 4])
                stop.wait()

        threading.Thread(target=serve, daemon=True).start()
        before = tree_digest(folder.path)
        dropper = drop(desktop, window, pipe)
        expect(desktop.answer_box("Add-in File Installation") == "Add-in File Installation", "confirm")
        wait_until(lambda: any(desktop.is_viewable(w) for w in desktop.windows("^Installing Add-in$")),
                   what="the progress dialog")
        # Waiting on the pipe, the window still draws.
        expect(frames_in(desktop, window, 3.0) > 0, "the window stopped drawing")
        expect(desktop.answer_box("Installing Add-in", key="Escape") == "Installing Add-in", "cancel")
        folder.wait_for_log("Add-in : cancelled")
        time.sleep(0.5)
        expect(not any(desktop.is_viewable(w) for w in desktop.windows("^Pulsmir - ")),
               "a box after Cancel")
        expect(tree_digest(folder.path) == before, "the program folder changed")
        expect(dropper.wait(timeout=10) == 0, "the drop did not finish")
        expect(program.terminate() == 0, "exit")
    finally:
        stop.set()


def install_leftovers(folder):
    return [name for name in os.listdir(folder.path) if name.startswith(".pulsmir-install-")]


def main_thread_ended(pid):
    with open(f"/proc/{pid}/stat") as handle:
        return handle.read().rsplit(")", 1)[1].split()[0] == "Z"


def a_package_whose_file_system_stops_answering_is_cancelled_and_left(desktop, folder):
    """The package's file system stops answering half-way, the install's read held in the
    kernel: Cancel closes the dialog and reports the install cancelled at once, the window goes
    on drawing, the program exits without waiting for that read, and the next start removes
    what the install had written."""
    install_skin(folder)
    skins = tree_digest(folder.file("Skin"))
    with open(os.path.join(PACKAGES, "skin.pma"), "rb") as handle:
        content = handle.read()
    stalled_folder = os.path.join(os.path.dirname(folder.path), "stalled")
    with StalledFile(stalled_folder, "skin.pma", content, len(content) * 3 // 4) as stalled:
        program = start(desktop, folder, CurrentSkinName="Golden", PosX=500, PosY=300)
        window = the_window(desktop)
        dropper = drop(desktop, window, stalled.path)
        expect(desktop.answer_box("Add-in File Installation") == "Add-in File Installation", "confirm")
        wait_until(lambda: stalled.held > 0, what="the read that is not answered")
        desktop.wait_box("Installing Add-in")
        expect(desktop.answer_box("Installing Add-in", key="Escape", timeout=5) ==
               "Installing Add-in", "cancel")
        folder.wait_for_log("Add-in : cancelled; the install had not stopped yet, what it wrote "
                            "goes once it has", timeout=5)
        expect(frames_in(desktop, window, 1.0) > 0, "the window stopped drawing")
        expect(dropper.wait(timeout=10) == 0, "the drop did not finish")
        program.process.send_signal(signal.SIGTERM)
        folder.wait_for_log("Application Terminate", timeout=10)
        # The process cannot end while one of its threads is held in the kernel, but its main
        # thread has ended, not waiting for that one.
        wait_until(lambda: main_thread_ended(program.process.pid), timeout=10,
                   what="the main thread to end")
        expect(not main_windows(desktop), "the window is still there")
        expect(install_leftovers(folder), "nothing was written before the file system stopped")
    expect(program.wait_exit(timeout=10) == 0, "exit once the file system is gone")

    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...", count=2)
    expect(any(line.startswith("Unfinished add-in install undone : ")
               for line in folder.log_lines()), "the sweep is not logged")
    expect(install_leftovers(folder) == [], f"left over: {install_leftovers(folder)}")
    expect(tree_digest(folder.file("Skin")) == skins, "the skin folder changed")
    expect(program.terminate() == 0, "exit")


def an_install_killed_while_moving_into_place_is_undone_at_the_next_start(desktop, folder):
    """Killed while it moves 9,999 files into the skin folder: the next start puts the folder
    back as it was, no half skin left for the menu."""
    install_skin(folder)
    skins = tree_digest(folder.file("Skin"))
    many = os.path.join(os.path.dirname(folder.path), "many.pma")
    with open(many, "wb") as handle:
        handle.write(make_packages.level0(b"pma.$$$", make_packages.descriptor("SKIN", "Many")) +
                     make_packages.level0(b"Many.ini", b"[Pulsmir2_Skin]\r\nSkinName=Many\r\n"))
        for i in range(9997):
            handle.write(make_packages.level0(b"Many\\%d.png" % i, b"%d" % i))
        handle.write(b"\x00")
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden")
    installer = Pulsmir(desktop, folder, args=[many])
    expect(desktop.answer_box("Add-in File Installation") == "Add-in File Installation", "confirm")
    first = folder.file("Skin/Many/0.png")
    wait_until(lambda: os.path.exists(first), timeout=60, interval=0.001, what="the first move")
    installer.kill()
    moved = len(os.listdir(folder.file("Skin/Many")))
    expect(0 < moved < 9997, f"not killed half-way: {moved} files moved")

    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    expect(tree_digest(folder.file("Skin")) == skins, "half a skin is left")
    expect(install_leftovers(folder) == [], f"left over: {install_leftovers(folder)}")
    expect(any(line.startswith("Unfinished add-in install undone : ")
               for line in folder.log_lines()), "the sweep is not logged")
    expect(program.terminate() == 0, "exit")


def a_skin_folder_linked_elsewhere_takes_packages(desktop, folder):
    """The user keeps the skins in a folder of their own and links it in as Skin."""
    mine = os.path.join(os.path.dirname(folder.path), "my-skins")
    shutil.move(folder.file("Skin"), mine)
    os.symlink(mine, folder.file("Skin"))
    folder.settings(ResourceName="English", NoSplash=1)
    program = Pulsmir(desktop, folder, args=[package(folder)])
    expect(desktop.answer_box("Add-in File Installation") == "Add-in File Installation", "confirm")
    expect(desktop.answer_box() == "Pulsmir - Information", "no success box")
    folder.wait_for_log(PACKAGED_SKIN)
    expect(os.path.exists(os.path.join(mine, "PackGolden/notes/readme.txt")), "not unpacked")
    expect(os.path.islink(folder.file("Skin")), "the link was replaced")
    expect(program.terminate() == 0, "exit")


def send(message, source="127.0.0.1"):
    client = socket.socket()
    client.bind((source, 0))
    client.connect(("127.0.0.1", 4830))
    client.sendall(message)
    time.sleep(0.3)
    client.close()


def skips_the_taskbar(desktop, window):
    return "_NET_WM_STATE_SKIP_TASKBAR" in desktop.window_property(window, "_NET_WM_STATE")


def local_talk_from_a_client(desktop, folder):
    install_skin(folder, "Golden", "Golden")
    install_skin(folder, "Golden Twin", "Twin")
    program = start(desktop, folder, CurrentSkinName="Golden")
    folder.wait_for_log("Pulsmir Local Talk : Listening Started")
    expect("  Open Port     : 4830" in folder.log_lines(), "port")
    window = the_window(desktop)
    send(b"SELECTSKIN:Twin.ini")
    folder.wait_for_log("Skin 'Golden Twin' Loaded...Complete")
    # The same X window shows the new skin, still off the taskbar.
    wait_until(lambda: main_windows(desktop) == [window], timeout=5, what="the same window")
    wait_until(lambda: skips_the_taskbar(desktop, window), timeout=5, what="skip-taskbar")
    send(b"SELECTSKIN:../Pulsmir.ini")
    folder.wait_for_log('  Unknown Skin Name : "../Pulsmir.ini"')
    send(b"SELECTSKIN:Golden.ini", source="127.0.0.2")
    folder.wait_for_log("* Access is DENIED.                *")
    time.sleep(0.5)
    expect(folder.log_lines().count("Skin 'Golden' Loaded...Complete") == 1, "a denied client switched")
    expect(program.terminate() == 0, "exit")


def a_new_x_window_after_a_switch_keeps_its_state(desktop, folder):
    """Not on top: Qt replaces the X window at the next show; what the program sets on it
    reaches the new one."""
    install_skin(folder, "Golden", "Golden")
    install_skin(folder, "Golden Twin", "Twin")
    program = start(desktop, folder, CurrentSkinName="Golden", AlwaysTop=0)
    send(b"SELECTSKIN:Twin.ini")
    folder.wait_for_log("Skin 'Golden Twin' Loaded...Complete")
    window = wait_until(lambda: next(iter(main_windows(desktop)), None), what="the window")
    # Set at the next turn of the event loop, which a loaded machine may make wait.
    wait_until(lambda: skips_the_taskbar(desktop, window), timeout=30, what="skip-taskbar")
    expect("_NET_WM_STATE_ABOVE" not in desktop.window_property(window, "_NET_WM_STATE"),
           "on top although AlwaysTop is off")
    expect(program.terminate() == 0, "exit")


def xdg(folder, *arguments):
    env = dict(os.environ, XDG_DATA_HOME=folder.data, XDG_CONFIG_HOME=folder.config,
               HOME=folder.user_home)
    return subprocess.run(["xdg-mime", *arguments], env=env, capture_output=True, text=True,
                          timeout=30).stdout.strip()


def file_type_of_the_installed_copy_stays_its_own(desktop, folder):
    """A copy run from a folder of its own (here with PULSMIR_HOME) leaves the association of
    the installed copy, which is still there, as it is."""
    installed = os.path.join(folder.root, "usr", "bin", "pulsmir")
    os.makedirs(os.path.dirname(installed))
    shutil.copy(os.path.join(folder.bin_dir, "pulsmir"), installed)
    entry_path = os.path.join(folder.data, "applications", "pulsmir-addin.desktop")
    os.makedirs(os.path.dirname(entry_path))
    entry = ("[Desktop Entry]\nType=Application\nName=Install to Pulsmir\n"
             f"Exec={installed} %f\nTryExec={installed}\n"
             "MimeType=application/x-pulsmir-addin;\nNoDisplay=true\nX-Pulsmir-Installed=true\n")
    with open(entry_path, "w", encoding="utf-8") as handle:
        handle.write(entry)
    program = start(desktop, folder, ExtUpdate=1)
    expect(program.terminate() == 0, "exit")
    with open(entry_path, encoding="utf-8") as handle:
        expect(handle.read() == entry, "the installed copy's entry was replaced")
    expect(f"Add-in file type left to the installed copy : {installed}" in folder.log_lines(),
           "not logged")


def file_type_registered_for_the_desktop(desktop, folder):
    program = start(desktop, folder)
    code = program.terminate()
    expect(code == 0, f"exit {code}: {program.stderr}")
    entry_path = os.path.join(folder.data, "applications", "pulsmir-addin.desktop")
    with open(entry_path, encoding="utf-8") as handle:
        entry = handle.read()
    expect(f"PULSMIR_HOME={folder.path}" in entry, entry)
    expect(xdg(folder, "query", "default", "application/x-pulsmir-addin") == "pulsmir-addin.desktop",
           "not the default application")
    expect(xdg(folder, "query", "filetype", package(folder)) == "application/x-pulsmir-addin",
           "the type is not known")
    open(folder.log_path, "w").close()  # so the start below waits for its own lines
    program = start(desktop, folder, ExtUpdate=0)
    code = program.terminate()
    expect(code == 0, f"exit {code}: {program.stderr}")
    expect(not os.path.exists(entry_path), "the entry stays after ExtUpdate=0")
    expect(xdg(folder, "query", "default", "application/x-pulsmir-addin") == "", "still the default")
