"""The sensors on the real program: temperature, battery and disk space of a fixture machine,
drawn by the shipped Sensor Deck skin and printed by --status."""

import configparser
import math
import os
import struct
import subprocess
import time

from faults import SilentFileSystem
from harness import E2EError, Pulsmir, screen_pixels, wait_until, window_geometry
from option_cases import options_open_and_close
from shell_cases import expect, main_windows

MACHINES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../fixtures/sys")
SKIN = "Pulsmir Sensor Deck"


def machine_env(name):
    return {"PULSMIR_SYSFS": os.path.join(MACHINES, name)}


def used_percent(path):
    """The used share of path's file system, rounded up as df and the program round it."""
    fs = os.statvfs(path)
    used = (fs.f_blocks - fs.f_bfree) * fs.f_frsize
    total = used + fs.f_bavail * fs.f_frsize
    return math.ceil(used * 100 / total)


def png_size(path):
    with open(path, "rb") as handle:
        header = handle.read(24)
    return struct.unpack(">II", header[16:24])


def sensor_rects(ini_path, section, meters=("tmp", "bat"), lamps=("tmpalm", "batchg"), texts=()):
    """The rectangles the given elements of a mode draw in: (name, x, y, w, h)."""
    ini = configparser.ConfigParser(interpolation=None, strict=False)
    ini.optionxform = str.lower
    ini.read(ini_path, encoding="utf-8")
    keys = ini[section]
    folder = os.path.splitext(ini_path)[0]
    glyph_w, glyph_h = png_size(os.path.join(folder, keys["font"]))
    glyph_w //= 11
    rects = []
    for meter in meters:
        w, h = png_size(os.path.join(folder, keys[meter]))
        rects.append((meter, int(keys[meter + "x"]), int(keys[meter + "y"]), w,
                      h // int(keys[meter + "frames"])))
        rects.append((meter + " read-out", int(keys[meter + "valx"]), int(keys[meter + "valy"]),
                      int(keys[meter + "valb"]) * glyph_w, glyph_h))
    for lamp in lamps:
        w, h = png_size(os.path.join(folder, keys[lamp]))
        rects.append((lamp, int(keys[lamp + "x"]), int(keys[lamp + "y"]), w, h // 2))
    for text in texts:
        rects.append((text, int(keys[text + "x"]), int(keys[text + "y"]), int(keys[text + "w"]),
                      int(keys[text + "h"])))
    return rects


def render(folder, ini_path, sets, out):
    arguments = [os.path.join(folder.bin_dir, "pulsmir-skin"), "render", ini_path, "--mode",
                 "compact", "-o", out, "--frames", "40"]
    for name, value in sets.items():
        arguments += ["--set", f"{name}={value}"]
    subprocess.run(arguments, check=True, timeout=30)
    raw = subprocess.run(["convert", out, "-depth", "8", "rgb:-"], capture_output=True,
                         check=True, timeout=30).stdout
    width, _ = png_size(out)
    return lambda x, y: tuple(raw[(y * width + x) * 3:(y * width + x) * 3 + 3])


def live_elements_equal(desktop, folder, program, expected, rects, what):
    windows = wait_until(lambda: main_windows(desktop), what="the main window")

    def differences():
        x, y, w, h = window_geometry(desktop, windows[0])
        pixels = screen_pixels(desktop, x, y, w, h)
        return [f"{name} at ({px},{py})" for name, rx, ry, rw, rh in rects
                for py in range(ry, ry + rh) for px in range(rx, rx + rw)
                if pixels[py][px] != expected(px, py)][:5]

    # The sampler reads once a second and the meters ease in; give them a few seconds.
    try:
        wait_until(lambda: not differences(), timeout=15, interval=0.5, what=what)
    finally:
        desktop.screenshot(os.path.join(folder.path, "screen.png"))
    expect(program.running(), "the program ended")
    program.terminate()


def machine_skin_draws_the_cards_and_fans(desktop, folder):
    """The AMD desktop's card (37 % busy, 2 of 16 GiB, 54 °C) and its board's second fan at
    1032 of 2000 rpm: the live Machine Deck's card and fan elements and the card's name equal the
    skin tool's render of the same values."""
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName="Pulsmir Machine Deck",
                    SkinMode=0, FanId="nct6798/fan2", FanMaxRpm=2000)
    program = Pulsmir(desktop, folder, env=machine_env("amd_desktop"))
    folder.wait_for_log("Application Running...")
    ini_path = folder.file("Skin/MachineDeck.ini")
    # 54 °C is 34 % of 30..100 °C; 2 GiB of 16 GiB rounds to 13 %.
    expected = render(folder, ini_path, {"GpuLoad": 37, "GpuMemoryLoad": 13, "GpuTemperature": 54,
                                         "GpuTempPos": 34, "FanRpm": 1032, "FanPos": 52,
                                         "gpu.name": "AMD 0x73bf"},
                      os.path.join(folder.path, "expected.png"))
    live_elements_equal(desktop, folder, program, expected,
                        sensor_rects(ini_path, "Pulsmir2_SkinS", ("gpu", "gpumem", "gputmp", "fan"),
                                     (), ("text2",)),
                        "the card and fan elements to show the fixture machine")


def sensor_skin_draws_the_machines_sensors(desktop, folder):
    """A charging AMD laptop at 57.5 °C with the alarm at 50: the live window's temperature and
    battery elements equal the skin tool's render of the same values."""
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName=SKIN, SkinMode=0,
                    TempAlarm=50, DiskSpacePath=folder.path)
    program = Pulsmir(desktop, folder, env=machine_env("amd_laptop"))
    folder.wait_for_log("Application Running...")
    ini_path = folder.file("Skin/SensorDeck.ini")
    # 57.5 °C is 39 % of 30..100 °C and reads 58; 30 of 50 Wh charging; the alarm is lit.
    expected = render(folder, ini_path, {"TempPos": 39, "Temperature": 58, "TempAlarm": 1,
                                         "BatteryPercent": 60, "BatteryCharging": 1},
                      os.path.join(folder.path, "expected.png"))
    live_elements_equal(desktop, folder, program, expected,
                        sensor_rects(ini_path, "Pulsmir2_SkinS"),
                        "the sensor elements to show the fixture machine")


def status_prints_a_line_per_sensor(desktop, folder):
    """--status lists what the machine offers, and nothing for what it lacks."""
    folder.settings(ResourceName="English", NoSplash=1, DiskSpacePath=folder.path)

    def status(machine):
        program = Pulsmir(desktop, folder, args=("--status", "--count", "1", "--interval", "50"),
                          env=machine_env(machine))
        if program.wait_exit(timeout=60) != 0:
            raise E2EError(f"--status failed: {program.stderr}")
        return program.stdout

    laptop = status("amd_laptop")
    expect(" Temperature : 57.5 \u00b0C (k10temp Tctl)" in laptop, laptop)
    expect(" Battery : 60 % (charging)" in laptop, laptop)
    disk = [line for line in laptop.splitlines() if line.startswith(" Disk Space : ")]
    expect(len(disk) == 1 and disk[0].endswith(f"% used ({folder.path})"), laptop)
    expect(abs(int(disk[0].split(":")[1].split("%")[0]) - used_percent(folder.path)) <= 1, laptop)

    two = status("two_batteries")
    expect(" Battery : 64 % (discharging)" in two, two)
    expect(" Temperature : Unavailable (no sensor driver)" in two, two)
    none = status("none")
    expect(" Battery : Unavailable (no battery)" in none, none)
    expect(" GPU : Unavailable (no sensor driver)" in none, none)
    expect(" Fan : Unavailable (no sensor driver)" in none, none)

    amd = status("amd_desktop")
    expect(" GPU : 37 % busy, 2.0 / 16.0 GB, 54.0 \u00b0C (amdgpu/0000:0b:00.0 AMD 0x73bf)" in amd,
           amd)
    expect(" Fan : 0 RPM (nct6798 fan1)" in amd, amd)
    intel = status("intel_laptop")
    expect(" GPU : 50 % frequency (i915/0000:00:02.0 Intel 0x5917)" in intel, intel)
    expect(" GPU : asleep (amdgpu/0000:01:00.0)" in intel, intel)
    expect(" Fan : 2405 RPM (dell_smm Processor Fan)" in intel, intel)


def hostile_machine(root):
    """A machine whose sensor files block or are huge: named pipes as a chip's name, an input, a
    thermal zone's value, a battery's uevent and a graphics card's load, sparse 1 GiB files as a
    chip's name and the card's model and memory; one good chip beside them."""
    def write(path, data=b""):
        path = os.path.join(root, "class", path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as handle:
            handle.write(data)
        return path

    def pipe(path):
        os.remove(write(path))
        os.mkfifo(os.path.join(root, "class", path))

    pipe("hwmon/hwmon0/name")
    write("hwmon/hwmon0/temp1_input", b"40000\n")
    os.truncate(write("hwmon/hwmon1/name"), 1 << 30)
    write("hwmon/hwmon1/temp1_input", b"41000\n")
    write("hwmon/hwmon2/name", b"k10temp\n")
    pipe("hwmon/hwmon2/temp1_input")
    write("hwmon/hwmon3/name", b"nvme\n")
    write("hwmon/hwmon3/temp1_input", b"38000\n")
    write("thermal/thermal_zone0/type", b"x86_pkg_temp\n")
    pipe("thermal/thermal_zone0/temp")
    write("power_supply/BAT0/type", b"Battery\n")
    pipe("power_supply/BAT0/uevent")
    # An awake graphics card whose load is a pipe and whose other values are sparse gigabytes.
    card = "../devices/pci0000:00/0000:0b:00.0"
    write(card + "/power/runtime_status", b"active\n")
    write(card + "/vendor", b"0x1002\n")
    for name in ("device", "mem_info_vram_used", "mem_info_vram_total"):
        os.truncate(write(f"{card}/{name}"), 1 << 30)
    pipe(card + "/gpu_busy_percent")
    os.makedirs(os.path.join(root, "devices/pci0000:00/0000:0b:00.0/drm/card0"))
    os.makedirs(os.path.join(root, "class/drm"))
    os.symlink("../../../0000:0b:00.0", os.path.join(root, "devices/pci0000:00/0000:0b:00.0/drm/card0/device"))
    os.symlink("../../../../bus/pci/drivers/amdgpu", os.path.join(root, "devices/pci0000:00/0000:0b:00.0/driver"))
    os.symlink("../../devices/pci0000:00/0000:0b:00.0/drm/card0", os.path.join(root, "class/drm/card0"))
    return {"PULSMIR_SYSFS": root}


def lost_mount(folder):
    """An empty folder for a SilentFileSystem, beside the program folder: the program looks
    through its own folder, and what it finds there is no sensor's business."""
    path = os.path.join(folder.root, "lost")
    os.makedirs(path)
    return path


def status_ends_on_time_whatever_a_sensor_does(desktop, folder):
    """Pipes, sparse gigabytes and a disk-space path on a file system that never answers:
    --status still prints, says what is missing and why, and ends."""
    env = hostile_machine(os.path.join(folder.path, "hostile"))
    lost = lost_mount(folder)
    folder.settings(ResourceName="English", NoSplash=1, DiskSpacePath=lost,
                    TempSensor="nvme/temp1")
    with SilentFileSystem(lost):
        program = Pulsmir(desktop, folder, args=("--status", "--count", "2", "--interval", "50"),
                          env=env)
        if program.wait_exit(timeout=60) != 0:
            raise E2EError(f"--status failed: {program.stderr}")
    out = program.stdout
    expect(out.count("Pulsmir Status Snapshot") == 2, out)
    expect(" Temperature : 38.0 \u00b0C (nvme temp1)" in out, out)
    expect(" Battery : Unavailable (no battery)" in out, out)
    expect(f" Disk Space : Unavailable ({lost}: not answering)" in out, out)
    expect(" GPU : Unavailable (amdgpu/0000:0b:00.0 AMD)" in out, out)


def the_window_stays_alive_whatever_a_sensor_does(desktop, folder):
    """The same machine under the Sensor Deck skin: the options open and show why the disk is
    missing, and SIGTERM ends the program although a read never returns."""
    env = hostile_machine(os.path.join(folder.path, "hostile"))
    lost = lost_mount(folder)
    folder.settings(ResourceName="English", NoSplash=1, CurrentSkinName=SKIN, SkinMode=0,
                    DiskSpacePath=lost)
    with SilentFileSystem(lost):
        program = Pulsmir(desktop, folder, env=env)
        folder.wait_for_log("Application Running...")
        options_open_and_close(desktop)
        expect(program.terminate(timeout=20) == 0, f"exit: {program.stderr}")
    expect("Application Terminate" in folder.log_lines(), "the shutdown did not finish")
