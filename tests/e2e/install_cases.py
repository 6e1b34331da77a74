"""Installed like a desktop program: `cmake --install` into a scratch prefix, the installed
program run with a scratch home, the shipped files checked by their own validators, and the
Debian package against the install manifest."""

import os
import shutil
import socket
import subprocess
import tempfile
import time

from harness import E2EError, wait_until
from monitor_cases import FIXTURES
from shell_cases import expect, main_windows

DEFAULT_SKIN_LOADED = "Skin 'System Analog Meter II(for2.2)' Loaded...Complete"


def build_dir(folder):
    return os.path.dirname(folder.bin_dir)


def install(folder, prefix):
    subprocess.run(["cmake", "--install", build_dir(folder), "--prefix", prefix], check=True,
                   stdout=subprocess.DEVNULL, timeout=120)


def snapshot(root):
    files = {}
    for path, _, names in os.walk(root):
        for name in names:
            full = os.path.join(path, name)
            info = os.lstat(full)
            files[os.path.relpath(full, root)] = (info.st_size, info.st_mtime_ns)
    return files


class InstalledProgram:
    """The installed pulsmir with its own home, XDG folders and runtime folder."""

    def __init__(self, desktop, prefix, home):
        self.desktop = desktop
        self.prefix = prefix
        self.home = home
        self.config = os.path.join(home, "config")
        self.data = os.path.join(home, "data")
        self.runtime = os.path.join(home, "runtime")
        os.makedirs(self.runtime, mode=0o700)
        self.user_folder = os.path.join(self.data, "pulsmir")
        self.settings_file = os.path.join(self.config, "pulsmir", "Pulsmir.ini")

    def env(self):
        env = self.desktop.env({"HOME": self.home, "XDG_CONFIG_HOME": self.config,
                                "XDG_DATA_HOME": self.data, "XDG_RUNTIME_DIR": self.runtime,
                                "LANG": "C.UTF-8"})
        for name in ("PULSMIR_HOME", "QT_QPA_PLATFORM", "LC_ALL"):
            env.pop(name, None)
        return env

    def log_lines(self):
        path = os.path.join(self.user_folder, "Debug.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8", errors="replace", newline="") as handle:
            return [line[line.index("> ") + 2:] for line in handle.read().split("\r\n") if "> " in line]

    def start(self):
        self.process = subprocess.Popen([os.path.join(self.prefix, "bin", "pulsmir")], env=self.env(),
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            wait_until(lambda: "Application Running..." in self.log_lines(),
                       what="the installed start")
        except E2EError:
            self.desktop.screenshot(os.path.join(self.home, "start.png"))
            print("\n".join(self.log_lines()[-12:]))
            for window in self.desktop.windows("."):
                print("window:", self.desktop.window_name(window))
            raise

    def stop(self):
        self.process.send_signal(15)
        out, err = self.process.communicate(timeout=30)
        return self.process.returncode


def installed_program_runs_from_the_users_folders(desktop, folder):
    with tempfile.TemporaryDirectory(prefix="pulsmir-install-") as scratch:
        prefix = os.path.join(scratch, "prefix")
        install(folder, prefix)
        before = snapshot(prefix)
        program = InstalledProgram(desktop, prefix, os.path.join(scratch, "home"))
        os.makedirs(os.path.dirname(program.settings_file))
        with open(program.settings_file, "w", encoding="utf-8", newline="") as handle:
            handle.write("[Pulsmir2]\r\nVersion=220\r\nNoSplash=1\r\nResourceName=English\r\n"
                         "CurrentSkinName=System Analog Meter II(for2.2)\r\n"
                         "PingHost=127.0.0.1\r\nUseDefaultGateway=0\r\n")
        # The user's own skin, and the debug log switched on.
        skins = os.path.join(program.user_folder, "Skin")
        os.makedirs(skins)
        shutil.copytree(os.path.join(FIXTURES, "Golden"), os.path.join(skins, "Golden"))
        shutil.copy(os.path.join(FIXTURES, "Golden.ini"), skins)
        open(os.path.join(program.user_folder, "Debug.log"), "w").close()

        program.start()
        expect(DEFAULT_SKIN_LOADED in program.log_lines(), "the installed default skin")
        expect(main_windows(desktop), "no window")
        for message, loaded in ((b"SELECTSKIN:Golden.ini", "Skin 'Golden' Loaded...Complete"),
                                (b"SELECTSKIN:FlatDigital.ini",
                                 "Skin 'Pulsmir Flat Digital' Loaded...Complete")):
            client = socket.create_connection(("127.0.0.1", 4830))
            client.sendall(message)
            client.close()
            wait_until(lambda: loaded in program.log_lines(), what=loaded)
        expect(program.stop() == 0, "exit")

        with open(program.settings_file, encoding="utf-8") as handle:
            settings = handle.read()
        expect("CurrentSkinName=Pulsmir Flat Digital" in settings, "settings not in the config folder")
        expect(not os.path.exists(os.path.join(program.user_folder, "Pulsmir.ini")), "settings in data")
        entry = os.path.join(program.config, "mimeapps.list")
        expect(os.path.exists(entry), "the file type was not registered for the user")
        expect(snapshot(prefix) == before, "the program changed its installed files")


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=120, **kwargs)


def installed_files_pass_their_validators(desktop, folder):
    with tempfile.TemporaryDirectory(prefix="pulsmir-install-") as prefix:
        install(folder, prefix)
        share = os.path.join(prefix, "share")
        desktop_file = os.path.join(share, "applications", "org.pulsmir.Pulsmir.desktop")
        result = run(["desktop-file-validate", desktop_file])
        expect(result.returncode == 0 and not result.stdout.strip(), result.stdout + result.stderr)
        result = run(["appstreamcli", "validate", "--no-net",
                      os.path.join(share, "metainfo", "org.pulsmir.Pulsmir.metainfo.xml")])
        expect(result.returncode == 0, result.stdout + result.stderr)
        for size in (16, 48, 256):
            expect(os.path.exists(os.path.join(share, f"icons/hicolor/{size}x{size}/apps/org.pulsmir.Pulsmir.png")),
                   f"no {size} pixel icon")
            expect(os.path.exists(os.path.join(
                share, f"icons/hicolor/{size}x{size}/mimetypes/application-x-pulsmir-addin.png")),
                f"no {size} pixel icon for the add-in type")
        for page in ("pulsmir", "pulsmir-skin", "pulsmir-perf"):
            result = run(["man", "-l", "-P", "cat", os.path.join(share, "man", "man1", page + ".1")],
                         env=dict(os.environ, MANWIDTH="80"))
            expect(result.returncode == 0 and "SYNOPSIS" in result.stdout, f"man page {page}")
        # The MIME package as the desktop sees it.
        run(["update-mime-database", os.path.join(share, "mime")])
        package = os.path.join(prefix, "Night Skin.pma")
        shutil.copy(os.path.join(FIXTURES, "../addin/skin.pma"), package)
        env = dict(os.environ, XDG_DATA_DIRS=share, XDG_DATA_HOME=os.path.join(prefix, "nobody"))
        result = run(["xdg-mime", "query", "filetype", package], env=env)
        expect(result.stdout.strip() == "application/x-pulsmir-addin", result.stdout + result.stderr)


def package_holds_what_the_install_does(desktop, folder):
    with tempfile.TemporaryDirectory(prefix="pulsmir-package-") as scratch:
        result = run(["cpack", "--config", os.path.join(build_dir(folder), "CPackConfig.cmake"),
                      "-B", scratch])
        expect(result.returncode == 0, result.stdout + result.stderr)
        debs = [name for name in os.listdir(scratch) if name.endswith(".deb")]
        expect(len(debs) == 1, f"packages: {debs}")
        deb = os.path.join(scratch, debs[0])
        listed = run(["dpkg-deb", "-c", deb]).stdout.splitlines()
        packaged = sorted(line.split()[-1].lstrip(".") for line in listed if not line.startswith("d"))
        prefix = os.path.join(scratch, "usr")
        install(folder, prefix)
        installed = sorted("/usr/" + path for path in snapshot(prefix))
        expect(packaged == installed, f"package and install differ: "
                                      f"{sorted(set(packaged) ^ set(installed))[:10]}")
        fields = run(["dpkg-deb", "-f", deb, "Depends", "Recommends"]).stdout
        expect("libqt6widgets6" in fields and "libasound2" in fields and "libarchive13" in fields,
               f"dependencies not taken from the binaries: {fields}")
        expect("fonts-ipafont-gothic" in fields, "no Japanese font recommended")
