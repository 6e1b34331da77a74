"""Nothing lost when writing fails: the settings saved at exit onto a full disk, into a
read-only program folder and with no descriptor to spare; a killed save's leftover swept at
the next start; a user's mimeapps.list kept whole whatever it is. Each makes its condition for
real in a namespace of the case's own (faults.py). Nothing held up by a peer that stalls: a
compositor socket whose replies never end."""

import os
import socket

from desktop_cases import on
from faults import FullTmpfs, ReadOnlyFolder, StallingSocket, descriptor_limit, isolate_network
from harness import E2EError, Pulsmir, wait_until
from shell_cases import expect
from sway_desktop import SwayDesktop

# A settings file as a user keeps it: hand-written notes and a section the program does not
# know, which only a save that read the file first can keep.
OLD_SETTINGS = ("; my notes\r\n[Pulsmir2]\r\nVersion=220\r\nCurrentSkinName=System Analog "
                "Meter II(for2.2)\r\nPingHost=127.0.0.1\r\nUseDefaultGateway=0\r\n"
                "ResourceName=English\r\nNoSplash=1\r\nPosX=33\r\n\r\n[Pulsmir2_EventSound]\r\n"
                "\r\n[Mine]\r\nKeep=yes\r\n").encode()
SAVED = "Application Setting Saved"
NOT_SAVED = "Unsuccessful to data preservation of application!"


def write_old_settings(folder):
    with open(folder.file("Pulsmir.ini"), "wb") as handle:
        handle.write(OLD_SETTINGS)


def settings_bytes(folder):
    with open(folder.file("Pulsmir.ini"), "rb") as handle:
        return handle.read()


def temporary_files(folder):
    return [name for name in os.listdir(folder.path) if ".pulsmir-save-" in name]


def run_until_exit(desktop, folder, **kwargs):
    runs = folder.log_lines().count("Application Running...")
    program = Pulsmir(desktop, folder, **kwargs)
    folder.wait_for_log("Application Running...", count=runs + 1)
    status = program.terminate()
    return program, status


def expect_failed_save(folder, program, status, reason):
    lines = folder.log_lines()
    expect(status == 0, f"exit status {status}: the shutdown goes on after a failed save")
    expect(settings_bytes(folder) == OLD_SETTINGS, "the old Pulsmir.ini changed")
    expect(temporary_files(folder) == [], f"temporary files left: {temporary_files(folder)}")
    expect(NOT_SAVED in lines, "the failed save is not logged")
    expect(SAVED not in lines, "a failed save logged as saved")
    trap = [line for line in lines if line.startswith("[TRAP] Setting Save : ")]
    expect(trap and reason in trap[0].lower() and "Pulsmir.ini" in trap[0],
           f"reason not logged: {trap}")
    expect(reason in program.stderr.lower(), f"stderr: {program.stderr!r}")
    expect("Application Terminate" in lines, "the shutdown did not finish")


def settings_survive_a_full_disk(desktop, folder):
    write_old_settings(folder)
    # The log keeps room of its own to tell what failed; the settings get none.
    with FullTmpfs(folder.path, keep_room={"Debug.log": 256 * 1024}) as disk:
        before = disk.listing()
        program, status = run_until_exit(desktop, folder)
        expect_failed_save(folder, program, status, "no space left on device")
        expect(disk.listing() == before, f"files changed: {before} -> {disk.listing()}")
        # With room again the same program saves, keeping what it does not know.
        disk.free()
        program, status = run_until_exit(desktop, folder)
        expect(status == 0 and folder.log_lines().count(SAVED) == 1, "no save once there is room")
        expect(folder.ini_value("Pulsmir.ini", "Mine", "Keep") == "yes", "the user's section lost")
        expect(temporary_files(folder) == [], "temporary files left")


def settings_survive_a_read_only_folder(desktop, folder):
    write_old_settings(folder)
    # Only the log stays writable, so that it can tell what failed.
    with ReadOnlyFolder(folder.path, writable=["Debug.log"]):
        program, status = run_until_exit(desktop, folder)
        expect_failed_save(folder, program, status, "read-only")


def a_killed_saves_leftover_is_swept_at_the_next_start(desktop, folder):
    write_old_settings(folder)
    leftover = folder.file(".Pulsmir.ini.pulsmir-save-k1LLed")
    with open(leftover, "wb") as handle:
        handle.write(OLD_SETTINGS[:40])  # what the killed save had written
    # The user's own files that only look alike stay.
    lookalikes = ["Pulsmir.ini.pulsmir-save-k1LLed", ".Pulsmir.ini.pulsmir-save-k1LL",
                  "Pulsmir.ini.bak"]
    for name in lookalikes:
        folder.write(name, "mine")
    program = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    expect(not os.path.exists(leftover), "the leftover is still there")
    expect(f"Unfinished save removed : {leftover}" in folder.log_lines(), "the sweep not logged")
    for name in lookalikes:
        expect(folder.exists(name), f"{name} removed")
    expect(program.terminate() == 0, "exit")
    expect(SAVED in folder.log_lines(), "not saved")
    expect(folder.ini_value("Pulsmir.ini", "Mine", "Keep") == "yes", "the user's section lost")


def open_descriptors(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return 0


def settings_survive_running_out_of_descriptors(desktop, folder):
    """Local clients take every descriptor the program may have before it exits: the save
    either works or fails with the old file whole, and says which."""
    isolate_network()  # port 4830 is this case's alone
    write_old_settings(folder)
    limit = 96
    program = Pulsmir(desktop, folder, preexec=descriptor_limit(limit))
    folder.wait_for_log("Pulsmir Local Talk : Listening Started")
    clients = []
    try:
        for _ in range(2 * limit):
            client = socket.socket()
            client.settimeout(2)
            try:
                client.connect(("127.0.0.1", 4830))
            except OSError:
                client.close()
                break
            clients.append(client)
        pid = program.process.pid
        # As many as it will take: at its limit, or as few as it keeps at once.
        try:
            wait_until(lambda: open_descriptors(pid) >= limit - 1, timeout=5,
                       what="the descriptors to run out")
        except E2EError:
            pass
        status = program.terminate(timeout=60)
    finally:
        for client in clients:
            client.close()
    lines = folder.log_lines()
    expect(status == 0, f"exit status {status}")
    expect(temporary_files(folder) == [], f"temporary files left: {temporary_files(folder)}")
    if settings_bytes(folder) == OLD_SETTINGS:
        expect(SAVED not in lines, "logged as saved, but the file is the old one")
        expect(NOT_SAVED in lines or "settings not saved" in program.stderr,
               f"the failed save is not told: {program.stderr!r}")
    else:
        # The log may have had no descriptor for the line either.
        expect(NOT_SAVED not in lines, "the file changed although the save failed")
        expect(folder.ini_value("Pulsmir.ini", "Mine", "Keep") == "yes", "the user's section lost")
        expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "PosX") is not None, "keys lost")


def large_mimeapps_list():
    """A user's mimeapps.list of 1.1 MB, cut where the file type's line goes: line ends of both
    kinds, bytes that are no UTF-8, a last line without a line end."""
    lines = [b"# mine\r\n[Default Applications]\r\ntext/plain=editor.desktop\n"]
    size, number = len(lines[0]), 0
    while size < 1_100_000:
        lines.append(b"application/x-type-%d=app \xff\x82\xa0.desktop;\n" % number)
        size, number = size + len(lines[-1]), number + 1
    return b"".join(lines), b"\n[Added Associations]\r\nimage/png=viewer.desktop"


def mimeapps_list_is_edited_in_place_and_left_alone_when_not_read_whole(desktop, folder):
    path = os.path.join(folder.config, "mimeapps.list")
    defaults, rest = large_mimeapps_list()
    with open(path, "wb") as handle:
        handle.write(defaults + rest)
    folder.settings(ResourceName="English", NoSplash=1, ExtUpdate=1)
    program, status = run_until_exit(desktop, folder)
    expect(status == 0, f"exit {status}: {program.stderr}")
    with open(path, "rb") as handle:
        edited = handle.read()
    expect(edited == defaults + b"application/x-pulsmir-addin=pulsmir-addin.desktop\r\n" + rest,
           f"mimeapps.list not edited in place: {len(edited)} bytes")

    # Larger than anyone's, or a FIFO that would never end: neither read nor replaced, and said.
    os.remove(path)
    os.mkfifo(path)
    big = os.path.join(folder.config, "big")
    with open(big, "wb") as handle:
        handle.truncate(100 << 20)
    for reason in ("cannot be read whole", "larger than 64 MiB"):
        open(folder.log_path, "w").close()
        program = Pulsmir(desktop, folder)
        desktop.answer_box("Pulsmir - ")
        folder.wait_for_log("Application Running...")
        expect(program.terminate() == 0, "exit")
        expect(f"[TRAP] Add-in file type : {path}: " in "\n".join(folder.log_lines())
               and reason in "\n".join(folder.log_lines()), f"not logged: {reason}")
        if os.path.exists(big):
            os.replace(big, path)
    expect(os.path.getsize(path) == 100 << 20, "the large mimeapps.list changed")


@on(SwayDesktop)
def a_compositor_socket_that_never_finishes_a_reply(desktop, folder):
    """$SWAYSOCK names a socket whose replies drip or never end: the program starts without
    sway's placement, floats, and exits at once all the same."""
    folder.settings(ResourceName="English", NoSplash=1, SkinMode=0, FloatSW=1)
    for mode in ("drip", "endless"):
        with StallingSocket(mode) as ipc:
            runs = folder.log_lines().count("Application Running...")
            program = Pulsmir(desktop, folder, env={"SWAYSOCK": ipc.path})
            folder.wait_for_log("Application Running...", count=runs + 1, timeout=60)
            expect(ipc.connections > 0, f"{mode}: the socket was never asked")
            placement = [line for line in folder.log_lines()
                         if line.startswith("Window Placement : ")]
            expect(placement[-1].startswith("Window Placement : none"),
                   f"{mode}: {placement[-1:]}")
            status = program.terminate(timeout=10)
            expect(status == 0, f"{mode}: exit status {status}")
