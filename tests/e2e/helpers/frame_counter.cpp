// Counts the frames a window draws, as the X server sees them: every damage report on the
// window, with reports less than 10 ms apart taken as one frame. Prints one line per frame,
// the seconds since the start, and ends after the given time. With --absolute the times are
// CLOCK_MONOTONIC itself (what Python's time.monotonic() reads), and size changes of the
// window are printed too, as "<time> size <width>x<height>".
// Usage: pulsmir_frame_counter [--absolute] WINDOW-ID SECONDS
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>

namespace {

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    const bool absolute = argc == 4 && std::strcmp(argv[1], "--absolute") == 0;
    if (argc != 3 && !absolute) {
        std::fprintf(stderr, "usage: pulsmir_frame_counter [--absolute] WINDOW-ID SECONDS\n");
        return 2;
    }
    const Window window = std::strtoul(argv[argc - 2], nullptr, 0);
    const double seconds = std::atof(argv[argc - 1]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "pulsmir_frame_counter: no display\n");
        return 1;
    }
    int eventBase = 0;
    int errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "pulsmir_frame_counter: the X server has no DAMAGE extension\n");
        return 1;
    }
    const Damage damage = XDamageCreate(display, window, XDamageReportNonEmpty);
    if (absolute)
        XSelectInput(display, window, StructureNotifyMask);
    XSync(display, False);
    const double start = Now();
    const double origin = absolute ? 0.0 : start;
    double lastReport = -1;
    while (Now() - start < seconds) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ConfigureNotify) {
                std::printf("%.4f size %dx%d\n", Now() - origin, event.xconfigure.width,
                            event.xconfigure.height);
                continue;
            }
            if (event.type != eventBase + XDamageNotify)
                continue;
            XDamageSubtract(display, damage, None, None);
            const double at = Now() - origin;
            if (lastReport < 0 || at - lastReport > 0.010)
                std::printf("%.4f\n", at);
            lastReport = at;
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 20);
    }
    std::fflush(stdout);
    XDamageDestroy(display, damage);
    XCloseDisplay(display);
    return 0;
}
