"""The start-up splash on a desktop without a compositor."""

from harness import E2EError, Pulsmir, screen_pixels, wait_until, window_geometry
from shell_cases import expect


def lit_share(desktop, window):
    x, y, w, h = window_geometry(desktop, window)
    pixels = [p for row in screen_pixels(desktop, x, y, w, h) for p in row]
    return sum(1 for r, g, b in pixels if r + g + b > 150) / max(len(pixels), 1)


def splash_draws_its_picture_without_a_compositor(desktop, folder):
    # The careful start's checks keep the splash up for a second at least.
    folder.settings(ResourceName="English", NoSplash=0, SplashAlpha=1, Carefully=1)
    program = Pulsmir(desktop, folder)
    splash = wait_until(
        lambda: next((w for w in desktop.windows("^Pulsmir Splash$") if desktop.is_viewable(w)),
                     None), what="the splash")
    best = 0.0
    opacity = ""
    # Looked at until it goes: an empty outline is black all through.
    while best <= 0.1:
        try:
            if not desktop.is_viewable(splash):
                break
            opacity = desktop.window_property(splash, "_NET_WM_WINDOW_OPACITY")
            best = max(best, lit_share(desktop, splash))
        except (E2EError, KeyError, IndexError):
            break  # gone while it was looked at
    expect(best > 0.1, f"the splash shows {best:.0%} lit pixels: its picture is not drawn")
    # Opacity would only matter to a compositor.
    expect("CARDINAL" not in opacity, f"opacity set without a compositor: {opacity}")
    folder.wait_for_log("Application Running...")
    expect(program.terminate() == 0, "exit")
