"""Hostile skins and files on the real program: pictures far over the limits, a background wider
than the screen, a definition file of 400 MiB and a checkerboard outline of half a million
rectangles, which may neither stop the window drawing nor take the current skin away; named
pipes and sparse gigabyte files in place of the program's files, which may not hold up the
start."""

import os
import struct
import threading
import time
import zlib

from addin_cases import send
from harness import window_geometry
from monitor_cases import install_skin, the_window
from option_cases import busy, frames_per_second
from shell_cases import expect
from window_cases import start


def png(width, height, row):
    """A 24-bit PNG whose row y holds the RGB bytes row(y)."""
    raw = b"".join(b"\x00" + row(y) for y in range(height))
    return png_with_header(width, height, zlib.compress(raw, 9))


def png_with_header(width, height, idat):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", idat) + chunk(b"IEND", b""))


def add_skin(folder, name, picture, mask=False):
    skin_dir = folder.file("Skin")
    os.makedirs(os.path.join(skin_dir, name), exist_ok=True)
    with open(os.path.join(skin_dir, name, "bg.png"), "wb") as handle:
        handle.write(picture)
    text = (f"[Pulsmir2_Skin]\r\nSkinName={name}\r\nSkinSystem=C2\r\nWinNT=1\r\nWin9x=1\r\n"
            "[Pulsmir2_SkinS]\r\nEnable=1\r\nBg=bg.png\r\n")
    if mask:
        text += "BgMaskColor=#FF00FF\r\n"
    path = os.path.join(skin_dir, name + ".ini")
    with open(path, "w", encoding="utf-8") as handle:
        handle.write(text)
    return path


def add_text_skin(folder, name, font):
    """A skin whose one text names the font file font.ttf of its folder; font(path) makes it."""
    path = add_skin(folder, name, png(40, 20, lambda y: b"\x20\x30\x40" * 40))
    font(os.path.join(folder.file("Skin"), name, "font.ttf"))
    with open(path, "a", encoding="utf-8") as handle:
        handle.write("Text1=host\r\nText1W=40\r\nText1H=20\r\nText1Font=font.ttf\r\n")


def drawing(desktop, window):
    """Whether the window draws frames (at 20 samples a second, its graphs move on each). A
    frozen window draws none; a loaded machine may draw only a few, so a few are enough."""
    stop = threading.Event()
    threading.Thread(target=busy, args=(stop,), daemon=True).start()
    try:
        return frames_per_second(desktop, window, seconds=3.0) * 3.0 >= 2
    finally:
        stop.set()


def hostile_skins_keep_the_current_skin_drawing(desktop, folder):
    install_skin(folder)
    # 16384 x 5400 by its header, in a few hundred bytes; 265 MB decoded, 1.25 GB as a window.
    tiny = zlib.compress(b"\x00" + b"\x20\x30\x40" * 4)
    add_skin(folder, "Huge", png_with_header(16384, 5400, tiny))
    add_skin(folder, "Wide", png(1400, 40, lambda y: b"\x20\x30\x40" * 1400))
    # 1-pixel squares of the mask colour over the whole screen.
    even, odd = b"\x20\x30\x40\xff\x00\xff" * 640, b"\xff\x00\xff\x20\x30\x40" * 640
    add_skin(folder, "Checker", png(1280, 800, lambda y: odd if y % 2 else even), mask=True)
    big = add_skin(folder, "Big", png(40, 20, lambda y: b"\x20\x30\x40" * 40))
    os.truncate(big, 400 << 20)

    program = start(desktop, folder, CurrentSkinName="Golden", SkinMode=1, PerfRate=4)
    folder.wait_for_log("Pulsmir Local Talk : Listening Started")
    window = the_window(desktop)
    shown = window_geometry(desktop, window)
    expect(drawing(desktop, window), "no frames with the skin as it came")

    # Beyond the limits a skin is not listed (the menu, the loader and the validator go by one
    # rule), so it cannot be picked by name either.
    for name in ("Huge", "Wide"):
        send(f"SELECTSKIN:{name}.ini".encode())
        folder.wait_for_log(f'  Skin Change to "{name}"')
        expect(window_geometry(desktop, window) == shown, f"the window changed for {name}")
        expect(drawing(desktop, window), f"no frames after {name}")
    expect("##Remote Control Start" not in folder.log_lines(), "a skin beyond the limits listed")
    send(b"SELECTSKIN:Big.ini")
    folder.wait_for_log('  Unknown Skin Name : "Big.ini"')
    expect(not any("Loaded...Complete" in line and "Golden" not in line
                   for line in folder.log_lines()), "a hostile skin loaded")
    expect(folder.log_lines().count("Skin 'Golden' Loaded...Complete") == 1, "Golden loaded again")

    # Half a million runs: the outline follows 2-pixel cells and the switch takes no time.
    send(b"SELECTSKIN:Checker.ini")
    folder.wait_for_log("Skin 'Checker' Loaded...Complete", timeout=10)
    folder.wait_for_log("<WARNING>Skin outline too intricate; it follows 2 x 2 pixel cells")
    send(b"SELECTSKIN:Golden.ini")
    folder.wait_for_log("Skin 'Golden' Loaded...Complete", count=2, timeout=10)
    window = the_window(desktop)
    expect(drawing(desktop, window), "no frames after the checkerboard")
    expect(program.terminate() == 0, "exit")
    expect(folder.ini_value("Pulsmir.ini", "Pulsmir2", "CurrentSkinName") == "Golden",
           "the current skin is not kept")


def pipes_and_huge_files_do_not_hold_up_the_start(desktop, folder):
    # A named pipe blocks whoever opens it to read until a writer comes; a sparse file claims
    # a gigabyte it does not hold. In place of the script file, a skin and a language file,
    # none may hold the start up or fill the memory.
    install_skin(folder)
    for name in ("sstp.ini", "Skin/Pipe.ini"):
        if os.path.exists(folder.file(name)):
            os.remove(folder.file(name))
        os.mkfifo(folder.file(name))
    for name in ("Huge.lng", "Skin/Huge.ini"):
        with open(folder.file(name), "wb") as handle:
            handle.truncate(1 << 30)
    program = start(desktop, folder, CurrentSkinName="Golden", SstpSW=1)
    folder.wait_for_log("Skin 'Golden' Loaded...Complete")
    expect("SSTP File Load FAILED!" in folder.log_lines(), "the pipe read as a script file")
    the_window(desktop)
    with open(f"/proc/{program.process.pid}/status") as handle:
        peak = next(int(line.split()[1]) for line in handle if line.startswith("VmHWM:"))
    expect(peak < 100 << 10, f"{peak >> 10} MiB at the most")
    expect(program.terminate() == 0, "exit")


def hostile_fonts_keep_the_current_skin_drawing(desktop, folder):
    # A skin's font file is outside input: over the size limit (sparse, so it costs nothing
    # here), no font at all, or a named pipe that would block whoever opened it.
    install_skin(folder)
    def write(size, garbage=False):
        def make(path):
            with open(path, "wb") as handle:
                handle.write(os.urandom(size)) if garbage else handle.truncate(size)
        return make
    add_text_skin(folder, "HugeFont", write(5 << 20))
    add_text_skin(folder, "GarbageFont", write(4096, garbage=True))
    add_text_skin(folder, "PipeFont", os.mkfifo)
    program = start(desktop, folder, CurrentSkinName="Golden", SkinMode=1, PerfRate=4)
    folder.wait_for_log("Pulsmir Local Talk : Listening Started")
    window = the_window(desktop)
    shown = window_geometry(desktop, window)
    for name in ("HugeFont", "GarbageFont", "PipeFont"):
        send(f"SELECTSKIN:{name}.ini".encode())
        folder.wait_for_log(f'  Skin Change to "{name}"')
        if name == "GarbageFont":
            # Listed (the list reads no font), it is refused when chosen, with a box.
            folder.wait_for_log("Skin 'GarbageFont' not loaded")
            desktop.answer_box("Pulsmir - Error")
        expect(window_geometry(desktop, window) == shown, f"the window changed for {name}")
        expect(drawing(desktop, window), f"no frames after {name}")
    expect(not any("Loaded...Complete" in line and "Golden" not in line
                   for line in folder.log_lines()), "a skin with a hostile font loaded")
    expect(program.terminate() == 0, "exit")
