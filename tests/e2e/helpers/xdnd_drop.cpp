// Another X client for the end-to-end cases: drops files on a window through the XDND protocol,
// as a file manager does: XdndEnter and XdndPosition at a point, then on the target's XdndStatus
// XdndDrop, serving the file list (text/uri-list) from the XdndSelection until XdndFinished.
// Usage: xdnd_drop WINDOW X Y FILE...   (X and Y on the root window)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/time.h>

static Display* display;
static Window source;

static void Send(Window target, Atom type, long l1, long l2, long l3, long l4)
{
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)source;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

static double Now(void)
{
    struct timeval now;
    gettimeofday(&now, NULL);
    return now.tv_sec + now.tv_usec / 1e6;
}

int main(int argc, char** argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: xdnd_drop WINDOW X Y FILE...\n");
        return 2;
    }
    display = XOpenDisplay(NULL);
    if (!display)
        return 1;
    const Window target = (Window)strtoul(argv[1], NULL, 0);
    const int x = atoi(argv[2]);
    const int y = atoi(argv[3]);
    char uris[8192] = "";
    for (int i = 4; i < argc; ++i) {
        strncat(uris, "file://", sizeof uris - strlen(uris) - 1);
        strncat(uris, argv[i], sizeof uris - strlen(uris) - 1);
        strncat(uris, "\r\n", sizeof uris - strlen(uris) - 1);
    }
    const Atom aware = XInternAtom(display, "XdndAware", False);
    const Atom enter = XInternAtom(display, "XdndEnter", False);
    const Atom position = XInternAtom(display, "XdndPosition", False);
    const Atom status = XInternAtom(display, "XdndStatus", False);
    const Atom drop = XInternAtom(display, "XdndDrop", False);
    const Atom finished = XInternAtom(display, "XdndFinished", False);
    const Atom selection = XInternAtom(display, "XdndSelection", False);
    const Atom copy = XInternAtom(display, "XdndActionCopy", False);
    const Atom uriList = XInternAtom(display, "text/uri-list", False);

    // The version the target speaks, from its XdndAware property.
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    long version = 5;
    if (XGetWindowProperty(display, target, aware, 0, 1, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success ||
        count == 0) {
        fprintf(stderr, "xdnd_drop: window 0x%lx does not take drops\n", (unsigned long)target);
        return 1;
    }
    if (*(Atom*)data < (Atom)version)
        version = (long)*(Atom*)data;
    XFree(data);

    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, source, CurrentTime);
    Send(target, enter, version << 24, (long)uriList, 0, 0);
    Send(target, position, 0, (x << 16) | (y & 0xFFFF), CurrentTime, (long)copy);

    int dropped = 0;
    const double deadline = Now() + 20;
    while (Now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && event.xclient.message_type == status && !dropped) {
                if (!(event.xclient.data.l[1] & 1)) {
                    fprintf(stderr, "xdnd_drop: the target refuses the drop\n");
                    return 1;
                }
                Send(target, drop, 0, CurrentTime, 0, 0);
                dropped = 1;
            } else if (event.type == ClientMessage && event.xclient.message_type == finished) {
                return 0;
            } else if (event.type == SelectionRequest) {
                XSelectionRequestEvent* request = &event.xselectionrequest;
                XEvent reply;
                memset(&reply, 0, sizeof reply);
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = request->requestor;
                reply.xselection.selection = request->selection;
                reply.xselection.target = request->target;
                reply.xselection.time = request->time;
                reply.xselection.property = None;
                if (request->target == uriList) {
                    XChangeProperty(display, request->requestor, request->property, uriList, 8,
                                    PropModeReplace, (unsigned char*)uris, (int)strlen(uris));
                    reply.xselection.property = request->property;
                }
                XSendEvent(display, request->requestor, False, NoEventMask, &reply);
                XFlush(display);
            }
        }
        struct timeval pause = {0, 10000};
        select(0, NULL, NULL, NULL, &pause);
    }
    fprintf(stderr, "xdnd_drop: no answer from the target\n");
    return 1;
}
