"""Event sounds: the real program plays into ALSA's file device, which needs no sound card."""

import os
import time

from harness import Pulsmir, wait_until
from shell_cases import expect

START_SOUND = "sounds/start.wav"


def sample_data(path):
    with open(path, "rb") as handle:
        data = handle.read()
    return data[44:]  # the shipped sounds have the plain 44-byte header


def start_with_sound(desktop, folder, mute, device=None):
    out = folder.file("OUT.raw")
    folder.settings(ResourceName="English", NoSplash=1)
    with open(folder.file("Pulsmir.ini"), "a", encoding="utf-8", newline="") as handle:
        handle.write(f"Enable=1\r\nMute={1 if mute else 0}\r\npSTART={START_SOUND}\r\n")
    program = Pulsmir(desktop, folder, env={"PULSMIR_AUDIO_DEVICE": device or f"file:'{out}',raw"})
    folder.wait_for_log("Application Running...")
    return program, out


def start_sound_plays(desktop, folder):
    program, out = start_with_sound(desktop, folder, mute=False)
    expected = sample_data(folder.file(START_SOUND))
    wait_until(lambda: os.path.exists(out) and os.path.getsize(out) == len(expected),
               timeout=10, what="the start sound in the file device")
    with open(out, "rb") as handle:
        expect(handle.read() == expected, "the device did not get the sound's samples")
    expect("Play : " + folder.file(START_SOUND) in folder.log_lines(), "no play line")
    expect(program.terminate() == 0, "exit")


def muted_start_is_silent(desktop, folder):
    program, out = start_with_sound(desktop, folder, mute=True)
    time.sleep(1.0)
    lines = folder.log_lines()
    expect("Mute TRUE..." in lines, "mute not logged")
    expect(not any(line.startswith("Play : ") for line in lines), "a sound played while muted")
    expect(not os.path.exists(out), "the device was opened while muted")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2_EventSound", "Mute") == "1", "mute not kept")


def a_sound_that_cannot_play_is_told(desktop, folder):
    program, _ = start_with_sound(desktop, folder, mute=False, device="no_such_device_here")
    expect(desktop.answer_box("Pulsmir - Warning", timeout=20) == "Pulsmir - Warning", "no box")
    expect(any(line.startswith("< ! > Sound Play Error : MMSYSERR_BADDEVICEID")
               for line in folder.log_lines()), "the failure is not logged")
    expect(program.terminate() == 0, "exit")
