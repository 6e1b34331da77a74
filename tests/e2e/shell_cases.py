"""Start-up, single instance, drive instances, language failures and the debug log."""

import os
import re
import shutil
import subprocess
import time

from faults import ReadOnlyFolder
from harness import E2EError, ProgramFolder, Pulsmir, wait_until

STARTUP_ORDER = [
    "Anti .NET Counter Checking", "Parameter Count : 0", "Target Physical Drive Number : -1",
    "Kernel Switch : WindowsNT Base System", "MainForm Initialize", "Application Setting Load",
    "Alpha Control Initialize", "TaskTray Control Initialize", "Pulsmir Core System Initialize...",
    "Splash Release", "MainForm Set TopMost", "Application Running...",
]
SHUTDOWN_ORDER = [
    "- Application Shutdown ---------", "Application Title Set", "MainTimer Terminate",
    "PingTimer Terminate", "CoreClass Stop", "Application Setting Saved",
    "Release Classes Memory", "Application Terminate",
]


def expect(condition, message):
    if not condition:
        raise E2EError(message)


def expect_in_order(lines, expected):
    position = 0
    for text in expected:
        try:
            position = lines.index(text, position) + 1
        except ValueError:
            raise E2EError(f"log line {text!r} missing or out of order")


def main_windows(desktop):
    return [w for w in desktop.windows("^Pulsmir$") if desktop.is_viewable(w)]


def first_start(desktop, folder):
    expect(not folder.exists("Pulsmir.ini"), "folder not empty")
    program = Pulsmir(desktop, folder)
    # A settings file of no known generation asks for the speed ranges.
    title = desktop.answer_box("Speed Select of HDD/Ethernet")
    expect(title == "Speed Select of HDD/Ethernet", title)
    title = desktop.answer_box("Pulsmir - Warning")
    expect(title == "Pulsmir - Warning", title)
    folder.wait_for_log("Application Running...")
    lines = folder.log_lines()
    expect(lines[0].startswith("Pulsmir 2.") and lines[0].endswith(" Starting"), lines[0])
    expect_in_order(lines, STARTUP_ORDER)
    expect("Select Recource File:English" in lines, "English not chosen")
    expect(folder.exists("Pulsmir.ini"), "settings file not created")
    windows = wait_until(lambda: main_windows(desktop), what="the main window")
    expect(len(windows) == 1, f"main windows: {windows}")
    wait_until(lambda: all(s in desktop.window_property(windows[0], "_NET_WM_STATE")
                           for s in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_ABOVE")),
               timeout=5, what="skip-taskbar and above states")

    expect(program.terminate() == 0, "exit code after SIGTERM")
    expect_in_order(folder.log_lines(), SHUTDOWN_ORDER)
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "Version") == "220", "Version not saved")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "ResourceName") == "English", "language")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName")
           == "System Analog Meter II(for2.2)", "default skin name lost")


def first_start_in_japanese(desktop, folder):
    # The speed ranges are asked while the settings load, before any language is chosen: in
    # the one the locale is going to choose, as is the box that says it was chosen.
    program = Pulsmir(desktop, folder, env={"LANG": "ja_JP.UTF-8"})
    title = desktop.answer_box("ディスクとネットワークの速度の選択")
    expect(title == "ディスクとネットワークの速度の選択", title)
    title = desktop.answer_box("Pulsmir - ")
    expect(title == "Pulsmir - 警告", f"the default language's box is titled {title!r}")
    folder.wait_for_log("Application Running...")
    expect("Select : JAPANESE" in folder.log_lines(), "Japanese not chosen")
    expect(program.terminate() == 0, "exit code after SIGTERM")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "ResourceName") == "日本語", "language")


def second_instance(desktop, folder):
    folder.settings(ResourceName="English", NoSplash=1)
    first = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    second = Pulsmir(desktop, folder)
    expect(second.wait_exit(10) == 0, "second instance exit code")
    expect("another instance" in second.stderr, second.stderr)
    expect(folder.log_lines().count("Application Running...") == 1, "second instance started")

    third = Pulsmir(desktop, folder, ["/M"])
    folder.wait_for_log("Application Running...", count=2)
    expect(third.terminate() == 0, "/M instance exit")
    expect(first.running(), "first instance died")
    expect(first.terminate() == 0, "first instance exit")

    # With the first one gone, a plain start runs again although the session marker stays.
    fourth = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...", count=3)
    expect(fourth.terminate() == 0, "restart exit")


def runtime_folder_of_another_user(desktop, folder):
    """As under su or sudo: XDG_RUNTIME_DIR is another user's folder that this one cannot write
    to (read-only even to root here). The instance marker goes to a private folder of the
    user's; where none can be made, the start says why and fails."""
    theirs = os.path.join(folder.root, "theirs")
    os.makedirs(theirs, mode=0o700)
    if os.geteuid() == 0:
        os.chown(theirs, 65534, 65534)
    temporary = os.path.join(folder.root, "tmp")
    os.makedirs(temporary)
    env = {"XDG_RUNTIME_DIR": theirs, "TMPDIR": temporary}
    folder.settings(ResourceName="English", NoSplash=1)
    with ReadOnlyFolder(theirs):
        first = Pulsmir(desktop, folder, env=env)
        folder.wait_for_log("Application Running...")
        private = os.path.join(temporary, f"pulsmir-{os.geteuid()}")
        expect(os.path.exists(os.path.join(private, "pulsmir.instance")), "no marker of our own")
        expect(any(line.startswith("Instance marker : ") and theirs in line
                   for line in folder.log_lines()), "the runtime folder's trouble not logged")
        second = Pulsmir(desktop, folder, env=env)
        expect(second.wait_exit(10) == 0 and "another instance" in second.stderr, second.stderr)
        expect(first.terminate() == 0, "exit")

        shutil.rmtree(private)
        with open(private, "w"):
            pass
        open(folder.log_path, "w").close()
        third = Pulsmir(desktop, folder, env=env)
        status = third.wait_exit(20)
    expect(status != 0 and "instance marker" in third.stderr, f"exit {status}: {third.stderr!r}")
    expect(any(line.startswith("Instance marker : ") and private in line
               for line in folder.log_lines()), "not logged")


def named_instance(desktop, folder):
    # A named instance runs beside the plain one with its own settings, and is itself single.
    folder.settings(ResourceName="English", NoSplash=1, RegStartup=1)
    plain = Pulsmir(desktop, folder)
    folder.wait_for_log("Application Running...")
    nas = Pulsmir(desktop, folder, ["--instance", "nas"])
    folder.wait_for_log("Application Running...", count=2)
    wait_until(lambda: desktop.windows("^Pulsmir nas$"), what="the named instance's window")
    entry_path = os.path.join(folder.config, "autostart", "Pulsmir-nas.desktop")
    wait_until(lambda: os.path.exists(entry_path), timeout=5, what="its autostart entry")
    with open(entry_path, encoding="utf-8") as handle:
        expect("/pulsmir --instance nas" in handle.read(), "the entry starts another instance")
    again = Pulsmir(desktop, folder, ["--instance", "nas"])
    expect(again.wait_exit(10) == 0, "second named instance exit code")
    expect("another instance" in again.stderr, again.stderr)
    expect(nas.terminate() == 0, "named instance exit")
    expect(folder.ini_value("Pulsmir-nas.ini", "Pulsmir2", "Version") == "220", "its settings")
    expect(plain.running(), "the plain instance died")
    expect(plain.terminate() == 0, "plain instance exit")
    refused = Pulsmir(desktop, folder, ["--instance", "../x"])
    expect(refused.wait_exit(10) == 2, "a bad name's exit code")
    expect("instance name" in refused.stderr, refused.stderr)


def drive_instance(desktop, folder):
    folder.settings(ResourceName="English", NoSplash=1, RegStartup=1)
    program = Pulsmir(desktop, folder, ["/D:3"])
    folder.wait_for_log("Application Running...")
    lines = folder.log_lines()
    expect("Target Physical Drive Number : 3" in lines, "drive not taken")
    expect("Parameter Count : 1" in lines, "parameter count")
    entry_path = os.path.join(folder.config, "autostart", "Pulsmir_3.desktop")
    wait_until(lambda: os.path.exists(entry_path), timeout=5, what="autostart entry")
    with open(entry_path, encoding="utf-8") as handle:
        entry = handle.read()
    expect("/pulsmir /M /D:3" in entry, entry)
    expect("PULSMIR_HOME=" in entry, "program folder not passed on")
    expect(program.terminate() == 0, "exit")
    expect(folder.exists("Pulsmir_3.ini"), "per-drive settings not written")
    expect(folder.ini_value("Pulsmir_3.ini", "Pulsmir2", "Version") == "220", "per-drive version")


def missing_language_file(desktop, folder):
    folder.settings(ResourceName="Klingon", NoSplash=1)
    program = Pulsmir(desktop, folder)
    desktop.answer_box("Pulsmir - Warning")
    folder.wait_for_log("Application Running...")
    expect("Multi Resource Data Load COMPLETE :English" in folder.log_lines(), "English not loaded")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "ResourceName") == "English", "not saved")


def no_language_files(desktop, folder):
    for name in os.listdir(folder.path):
        if name.endswith(".lng"):
            os.remove(folder.file(name))
    folder.settings(ResourceName="English", NoSplash=1)
    program = Pulsmir(desktop, folder)
    # The configured file is gone: one default-language choice, then the final error.
    titles = [desktop.answer_box() for _ in range(3)]
    expect(titles == ["Pulsmir - Warning", "Pulsmir - Warning", "Pulsmir - Error"], f"boxes: {titles}")
    expect(program.wait_exit() == 1, "exit code of an aborted start")
    expect("Application Running..." not in folder.log_lines(), "started without a language")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "ResourceName") == "", "name not cleared")


def no_debug_log(desktop, folder):
    os.remove(folder.log_path)
    folder.settings(ResourceName="English", NoSplash=1)
    program = Pulsmir(desktop, folder)
    wait_until(lambda: main_windows(desktop), what="main window")
    time.sleep(0.5)
    expect(program.terminate() == 0, "exit")
    expect(not folder.exists("Debug.log"), "Debug.log was created")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "Version") == "220", "settings not saved")


def status_lines(desktop, folder, *args, lang="C.UTF-8"):
    """Runs `pulsmir --status ARGS`; the snapshots printed and when each began, in seconds."""
    env = desktop.env({"PULSMIR_HOME": folder.path, "XDG_RUNTIME_DIR": folder.runtime,
                       "LANG": lang, "LC_ALL": lang})
    process = subprocess.Popen([os.path.join(folder.bin_dir, "pulsmir"), "--status", *args],
                               env=env, stdout=subprocess.PIPE, text=True)
    snapshots, started, gap = [], time.monotonic(), True
    for line in process.stdout:
        line = line.rstrip("\n")
        if line and gap:
            snapshots.append((time.monotonic() - started, []))
        if line:
            snapshots[-1][1].append(line)
        gap = not line
    expect(process.wait(timeout=60) == 0, "--status failed")
    return snapshots


def status_keeps_one_form_in_any_language(desktop, folder):
    folder.settings(ResourceName="日本語", NoSplash=1)
    [(_, lines)] = status_lines(desktop, folder, "--count", "1", lang="de_DE.UTF-8")
    expect(lines[0] == "Pulsmir Status Snapshot", lines[0])
    labels = [line.split(" : ")[0] for line in lines if " : " in line]
    expect(labels[:6] == [" CPU", " MEM", " SWP", " DiskAccess", " NetworkAccess", " Ping Response"],
           f"labels: {labels}")
    speed = next(line for line in lines if line.startswith(" DiskAccess : "))
    expect(re.fullmatch(r" DiskAccess : \d+\.\d (B|KB|MB)/s", speed), speed)


def status_prints_at_the_asked_interval(desktop, folder):
    # Twenty samples a second and a graph step of ten: the interval is the printing one alone.
    folder.settings(ResourceName="English", NoSplash=1, PerfRate=4, GraphRate=1)
    snapshots = status_lines(desktop, folder, "--count", "3", "--interval", "1500")
    gaps = [b[0] - a[0] for a, b in zip(snapshots, snapshots[1:])]
    # Loose bounds: a loaded machine may be late, never early; the graph step would be 16 s.
    expect(len(gaps) == 2 and all(1.0 <= gap < 10.0 for gap in gaps), f"gaps {gaps}")
