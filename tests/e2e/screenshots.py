#!/usr/bin/env python3
"""Screenshots of every window and dialog of the real program in each shipped language, for
the documentation and for reading the translations as a user sees them.

    python3 tests/e2e/screenshots.py [--bin build/bin] [--helpers build/tests] [--out docs/screenshots]

Runs the program under Xvfb and openbox (tests/e2e/harness.py) with a scratch program folder,
home and XDG folders, drives it with real input and writes PNGs cropped to each window into
OUT/English/ and OUT/Japanese/. Not part of the test suite: it takes about a minute a language.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../fixtures/addin"))

import faults  # noqa: E402
import make_packages  # noqa: E402
from harness import Desktop, E2EError, ProgramFolder, Pulsmir, wait_until, window_geometry  # noqa: E402

LANGUAGES = {"English": "English", "Japanese": "日本語"}
SLOW = 60
PANEL = 24  # trayer's height at the bottom of the screen

# Window titles in each language (the language files' texts).
TITLES = {
    "English": {"options": "Pulsmir Option", "speed": "Speed Select of HDD/Ethernet",
                "sstp": "SSTP Test", "icons": "Tray Icon Selector",
                "skin": "Skin Information", "addin": "Add-in File Installation",
                "progress": "Installing Add-in", "tips": "Pulsmir Status Tips"},
    "Japanese": {"options": "Pulsmir オプション", "speed": "ディスクとネットワークの速度の選択",
                 "sstp": "SSTP テスト", "icons": "トレイアイコンの選択", "skin": "スキン情報",
                 "addin": "アドインファイルのインストール", "progress": "アドインのインストール中",
                 "tips": "Pulsmir ステータス表示"},
}
OPTION_PAGES = ["general", "measurement", "processors", "sounds", "sensors", "language", "about"]


class Shooter:
    def __init__(self, desktop, out):
        self.desktop = desktop
        self.out = out
        os.makedirs(out, exist_ok=True)

    def _write(self, name, crop=None, trim=False):
        path = os.path.join(self.out, name + ".png")
        raw = path + ".ppm"
        self.desktop.run(["import", "-window", "root", raw])
        command = ["convert", raw]
        if crop:
            x, y, w, h = crop
            command += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        if trim:
            command += ["-trim", "+repage"]
        command += ["-strip", "-define", "png:compression-level=9", path]
        subprocess.run(command, check=True)
        os.remove(raw)
        print("wrote", path)

    def window(self, name, window):
        """The window with its frame, so that its title shows."""
        self._write(name, crop=frame_geometry(self.desktop, window))

    def screen(self, name):
        """Whatever is on the black desktop above the panel, trimmed to it (the window and
        its menus)."""
        self._write(name, crop=(0, 0, self.desktop.width, self.desktop.height - PANEL),
                    trim=True)


def frame_geometry(desktop, window):
    info = desktop.run(["xwininfo", "-tree", "-id", str(window)], check=False)
    parent = next((line.split(":")[1].split()[0] for line in info.splitlines()
                   if line.strip().startswith("Parent window id:")), None)
    if parent and "(the root window)" not in info.split("Parent window id:")[1].splitlines()[0]:
        return window_geometry(desktop, int(parent, 16))
    return window_geometry(desktop, window)


def viewable(desktop, title):
    return next((w for w in desktop.windows("^" + title + "$") if desktop.is_viewable(w)), None)


def wait_window(desktop, title, timeout=15):
    window = wait_until(lambda: viewable(desktop, title), timeout=timeout, what=title)
    desktop.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)
    time.sleep(0.6)
    return window


def keys(desktop, *names):
    desktop.run(["xdotool", "key", "--delay", "150", *names])
    time.sleep(0.6)


def main_window(desktop):
    return wait_until(lambda: viewable(desktop, "Pulsmir"), timeout=SLOW, what="the main window")


def popup_menu(desktop, window, *names):
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "3"])
    time.sleep(0.8)
    if names:
        keys(desktop, *names)


def press_until(desktop, title, step, tries=40):
    """Moves the focus on with `step` and presses the focused control until a window titled
    `title` shows: the way to a button that is no X window of its own."""
    for _ in range(tries):
        keys(desktop, *step)
        keys(desktop, "space")
        window = viewable(desktop, title)
        if window:
            return wait_window(desktop, title)
    raise E2EError(f"no control of the dialog opened {title!r}")


def package(path):
    """A resource package large enough that its install shows the progress dialog."""
    entries = [make_packages.level0(b"pma.$$$", make_packages.descriptor("RES", "Shots"))]
    for i in range(8000):
        entries.append(make_packages.level0(b"shot%04d.prs" % i, bytes([i % 251]) * 1024))
    for i in range(90):
        entries.append(make_packages.repeated_byte(b"shots%02d.prs" % i, i, 2_621_440))
    with open(path, "wb") as handle:
        handle.write(b"".join(entries) + b"\x00")


def shoot_language(args, language, description):
    titles = TITLES[language]
    with Desktop() as desktop, ProgramFolder(args.bin) as folder:
        shots = Shooter(desktop, os.path.join(args.out, language))
        # No help beside the program: the help question is one of the boxes.
        shutil.rmtree(folder.file("help"), ignore_errors=True)
        folder.settings(ResourceName=description, NoSplash=0, SkinMode=1, PingEnable=0,
                        ShowSkinBanner=1, LogoPosition=0, PosX=60, PosY=60)
        desktop.run(["xdotool", "mousemove", "5", "5"])
        # A notification area from the start, so that the tray items are there.
        desktop.start_tray_host()
        program = Pulsmir(desktop, folder)
        try:
            shoot_windows(args, desktop, folder, shots, titles)
        except BaseException:
            print("--- Debug.log ---\n" + "\n".join(folder.log_lines()[-40:]))
            raise
        finally:
            program.terminate()


def shoot_windows(args, desktop, folder, shots, titles):
    if True:
        try:
            splash = wait_until(lambda: viewable(desktop, "Pulsmir Splash"), timeout=SLOW,
                                interval=0.01, what="the splash")
            shots.window("splash", splash)
        except E2EError as error:
            print("no splash:", error)
        folder.wait_for_log("Application Running...", timeout=SLOW)
        window = main_window(desktop)
        time.sleep(1.5)
        shots.window("main-window", window)

        # The status tip, under a resting pointer.
        x, y, w, h = window_geometry(desktop, window)
        desktop.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)
        desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)])
        tips = wait_until(lambda: viewable(desktop, titles["tips"]), timeout=SLOW,
                          what="the status tip")
        time.sleep(1.0)
        shots.window("status-tip", tips)
        desktop.run(["xdotool", "mousemove", "5", "5"])

        popup_menu(desktop, window)
        shots.screen("menu")
        # Into the Skins submenu, past the mode and the tray items.
        keys(desktop, "Down", "Down", "Down", "Right")
        shots.screen("menu-skins")
        keys(desktop, "Escape", "Escape", "Escape")

        # Skin information: the last items of the Skins submenu.
        popup_menu(desktop, window, "Down", "Down", "Down", "Right", "Up", "Up", "Return")
        info = wait_window(desktop, titles["skin"])
        shots.window("skin-information", info)
        keys(desktop, "Escape")

        # The options dialog, page by page.
        popup_menu(desktop, window, "Up", "Up", "Up", "Return")
        options = wait_window(desktop, titles["options"])
        for page in OPTION_PAGES:
            shots.window("options-" + page, options)
            keys(desktop, "ctrl+Tab")
        # The SSTP test dialog from the first page, the speed ranges from the second.
        speed = press_until(desktop, titles["sstp"], ["Tab"])
        shots.window("sstp-test", speed)
        keys(desktop, "Escape")
        wait_window(desktop, titles["options"])
        keys(desktop, "ctrl+Tab")
        speed = press_until(desktop, titles["speed"], ["Tab"])
        shots.window("speed-range", speed)
        keys(desktop, "Escape")
        options = wait_window(desktop, titles["options"])
        keys(desktop, "Escape")
        wait_until(lambda: not viewable(desktop, titles["options"]), what="the options closed")

        # A question box: the help is missing.
        popup_menu(desktop, window, "Up", "Up", "Return")
        box = desktop.wait_box("Pulsmir - ")
        time.sleep(0.6)
        shots.window("box-help-missing", box)
        desktop.answer_box("Pulsmir - ", key="Escape")

        # An add-in dropped on the window: the question, the progress and the report.
        pma = os.path.join(folder.root, "shots.pma")
        package(pma)
        dropper = os.path.join(args.helpers, "pulsmir_xdnd_drop")
        desktop.spawn([dropper, str(window), str(x + w // 2), str(y + h // 2), pma])
        confirm = wait_window(desktop, titles["addin"])
        shots.window("addin-confirmation", confirm)
        keys(desktop, "Return")
        try:
            progress = wait_until(lambda: viewable(desktop, titles["progress"]), timeout=20,
                                  interval=0.05, what="the progress")
            time.sleep(0.3)
            shots.window("addin-progress", progress)
        except (E2EError, KeyError) as error:
            # A fast machine installs before the dialog is seen, or while it is taken.
            print("no progress dialog:", error)
        report = desktop.wait_box("Pulsmir - ", timeout=SLOW)
        time.sleep(0.6)
        shots.window("box-addin-installed", report)
        desktop.answer_box("Pulsmir - ")

        # The skin banner of a skin switch: the first skin of the Skins submenu (Flat Digital).
        popup_menu(desktop, window, "Down", "Down", "Down", "Right", "Return")
        try:
            banner = wait_until(lambda: viewable(desktop, "Pulsmir Banner"), timeout=15,
                                interval=0.05, what="the banner")
            shots.window("banner", banner)
        except E2EError as error:
            print("no banner:", error)
        window = main_window(desktop)

        # The tray: its menu and the icon editor.
        popup_menu(desktop, window, "Down", "Down", "Return")
        folder.wait_for_log("Into TaskTray", timeout=SLOW)
        time.sleep(1.0)
        panel = next(iter(desktop.windows("^panel$")))
        px, py, pw, ph = window_geometry(desktop, panel)
        desktop.run(["xdotool", "mousemove", str(px + pw - ph // 2), str(py + ph // 2)])
        time.sleep(0.3)
        desktop.run(["xdotool", "click", "3"])
        time.sleep(1.0)
        shots.screen("tray-menu")
        keys(desktop, "Down", "Down", "Return")
        icons = wait_window(desktop, titles["icons"])
        keys(desktop, "Down")  # the second choice, so that the file fields are enabled
        shots.window("tray-icon-editor", icons)
        keys(desktop, "Escape")


def main():
    # The fixed Local Talk port is this run's alone.
    faults.isolate_network()
    root = os.path.join(HERE, "../..")
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", default=os.path.join(root, "build/bin"))
    parser.add_argument("--helpers", default=os.path.join(root, "build/tests"))
    parser.add_argument("--out", default=os.path.join(root, "docs/screenshots"))
    parser.add_argument("--language", choices=sorted(LANGUAGES), action="append")
    args = parser.parse_args()
    for language in args.language or sorted(LANGUAGES):
        shoot_language(args, language, LANGUAGES[language])


if __name__ == "__main__":
    main()
