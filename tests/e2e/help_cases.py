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


def recorded(record):
    try:
        with open(record) as handle:
            return handle.read()
    except FileNotFoundError:
        return ""


def missing_help_offers_the_web_page(desktop, folder):
    install_skin(folder)
    shutil.rmtree(folder.file("help"), ignore_errors=True)
    tools = os.path.join(os.path.dirname(folder.path), "tools")
    os.makedirs(tools)
    record = os.path.join(tools, "opened")
    opener = os.path.join(tools, "xdg-open")
    with open(opener, "w") as handle:
        handle.write(RECORDING_OPENER.format(record=record))
    os.chmod(opener, os.stat(opener).st_mode | stat.S_IXUSR)
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Golden")
    program = Pulsmir(desktop, folder,
                      env={"PATH": tools + os.pathsep + os.environ["PATH"],
                           "XDG_CURRENT_DESKTOP": "", "DESKTOP_SESSION": ""})
    folder.wait_for_log("Application Running...")
    # Up from the bottom of the menu: Exit, then Help.
    popup_menu(desktop, the_window(desktop), ["Up", "Up", "Return"])
    # The question's default answer is Yes.
    expect(desktop.answer_box("Pulsmir - Warning") == "Pulsmir - Warning", "no question")
    # The shell makes the file before it writes the line: the line is the word.
    wait_until(lambda: recorded(record).endswith("\n"), timeout=15, what="the web page opened")
    expect(recorded(record).split() == ["https://pulsmir.org/help/"],
           f"not the help page: {recorded(record)!r}")
    expect(program.terminate() == 0, "exit")
