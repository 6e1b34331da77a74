"""The help command: the local help, or the question that offers the web page instead."""

import os
import shutil
import stat

from harness import Pulsmir, wait_until
from monitor_cases import install_skin, the_window
from shell_cases import expect
from window_cases import popup_menu

# Stands in for the desktop's opener: records what it was asked to open.
RECORDING_OPENER = """#!/bin/sh
echo "$@" >> "{record}"
"""


def recording_opener(folder):
    """A stand-in for xdg-open on the program's search path. Returns the file it records in
    and the environment that makes the program use it."""
    tools = os.path.join(os.path.dirname(folder.path), "tools")
    os.makedirs(tools)
    record = os.path.join(tools, "opened")
    opener = os.path.join(tools, "xdg-open")
    with open(opener, "w") as handle:
        handle.write(RECORDING_OPENER.format(record=record))
    os.chmod(opener, os.stat(opener).st_mode | stat.S_IXUSR)
    return record, {"PATH": tools + os.pathsep + os.environ["PATH"], "XDG_CURRENT_DESKTOP": "",
                    "DESKTOP_SESSION": ""}


def opened(record):
    """What the opener was asked to open, once it has written its line (the shell makes the
    file before it writes)."""
    def line():
        try:
            with open(record) as handle:
                text = handle.read()
        except FileNotFoundError:
            return None
        return text if text.endswith("\n") else None
    return wait_until(line, timeout=15, what="the opener to be called").split()


def choose_help(desktop):
    # Up from the bottom of the window's pop-up menu: Exit, then Help.
    popup_menu(desktop, the_window(desktop), ["Up", "Up", "Return"])


def missing_help_offers_the_web_page(desktop, folder):
    install_skin(folder)
    shutil.rmtree(folder.file("help"), ignore_errors=True)
    record, env = recording_opener(folder)
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden")
    program = Pulsmir(desktop, folder, env=env)
    folder.wait_for_log("Application Running...")
    choose_help(desktop)
    # The question's default answer is Yes.
    expect(desktop.answer_box("Pulsmir - Warning") == "Pulsmir - Warning", "no question")
    expect(opened(record) == ["https://pulsmir.org/help/"], f"not the help page: {opened(record)}")
    expect(program.terminate() == 0, "exit")


def japanese_mode_opens_the_japanese_help(desktop, folder):
    install_skin(folder)
    record, env = recording_opener(folder)
    folder.settings(ResourceName="日本語", NoSplash=1, CurrentSkinName="Golden")
    program = Pulsmir(desktop, folder, env=env)
    folder.wait_for_log("Application Running...")
    choose_help(desktop)
    expect(opened(record) == ["file://" + folder.file("help/index.ja.html")],
           f"not the Japanese help: {opened(record)}")
    expect(program.terminate() == 0, "exit")
