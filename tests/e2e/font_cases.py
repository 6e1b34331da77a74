"""The Japanese interface needs a font with its characters: the pop-up menu in Japanese is
drawn in glyphs, not in the missing-glyph boxes it shows without such a font."""

import os
import tempfile
import time

from harness import Pulsmir, screen_pixels, wait_until, window_geometry
from shell_cases import expect, main_windows

ONLY_DEJAVU = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <dir>/usr/share/fonts/truetype/dejavu</dir>
  <cachedir>{cache}</cachedir>
</fontconfig>
"""


def menu_pixels(desktop, folder, env=None):
    """The screen right and below the point the pop-up menu opened at."""
    folder.settings(ResourceName="日本語", NoSplash=1, PosX=100, PosY=100, SkinMode=0)
    program = Pulsmir(desktop, folder, env=env)
    folder.wait_for_log("Application Running...")
    window = wait_until(lambda: next(iter(main_windows(desktop)), None), what="the window")
    x, y, w, h = window_geometry(desktop, window)
    desktop.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)])
    time.sleep(0.3)
    desktop.run(["xdotool", "click", "3"])
    time.sleep(1.0)
    pixels = screen_pixels(desktop, x + w // 2, y + h // 2, 240, 300)
    desktop.run(["xdotool", "key", "Escape"])
    expect(program.terminate() == 0, "exit")
    open(folder.log_path, "w").close()
    return pixels


def japanese_menu_draws_glyphs(desktop, folder):
    with tempfile.TemporaryDirectory(prefix="pulsmir-fonts-") as scratch:
        config = os.path.join(scratch, "fonts.conf")
        with open(config, "w") as handle:
            handle.write(ONLY_DEJAVU.format(cache=os.path.join(scratch, "cache")))
        glyphs = menu_pixels(desktop, folder)
        boxes = menu_pixels(desktop, folder, env={"FONTCONFIG_FILE": config})
    background = glyphs[-1][-1]
    inked = sum(1 for row in glyphs for pixel in row if pixel != background)
    differing = sum(1 for a, b in zip(glyphs, boxes) for p, q in zip(a, b) if p != q)
    expect(inked > 500, f"the menu did not open ({inked} drawn pixels)")
    # The same menu drawn with only DejaVu shows boxes; with the Japanese font it must not.
    expect(differing > 500, f"the Japanese menu looks like missing-glyph boxes ({differing} pixels differ)")
