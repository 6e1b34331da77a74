// Counts the frames a window draws, as the X server sees them: every damage report on the
// window, with reports less than 10 ms apart taken as one frame. Prints one line per frame,
// the seconds since the start on CLOCK_MONOTONIC, and ends after the given time.
// Usage: frame_counter WINDOW-ID SECONDS
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <cstdio>
#include <cstdlib>
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: frame_counter WINDOW-ID SECONDS\n");
        return 2;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const double seconds = std::atof(argv[2]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "frame_counter: no display\n");
        return 1;
    }
    int eventBase = 0;
    int errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "frame_counter: the X server has no DAMAGE extension\n");
        return 1;
    }
    const Damage damage = XDamageCreate(display, window, XDamageReportNonEmpty);
    XSync(display, False);
    const double start = Now();
    double lastReport = -1;
    while (Now() - start < seconds) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify)
                continue;
            XDamageSubtract(display, damage, None, None);
            const double at = Now() - start;
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
