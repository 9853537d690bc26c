// x_close TITLE: sends the window manager's close request (WM_DELETE_WINDOW) to every top-level
// window of the X display whose name contains TITLE, as a desktop's close button does. Exit
// status 0 when at least one window got it, 1 when none matched, 2 when there is no display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

bool name_matches(Display *display, Window window, const char *title)
{
    char *name = nullptr;
    if (!XFetchName(display, window, &name) || !name)
        return false;
    const bool match = std::strstr(name, title) != nullptr;
    XFree(name);
    return match;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: x_close TITLE\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    int sent = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes {};
            if (!XGetWindowAttributes(display, children[i], &attributes)
                || attributes.map_state != IsViewable
                || !name_matches(display, children[i], argv[1]))
                continue;
            XEvent event {};
            event.xclient.type = ClientMessage;
            event.xclient.window = children[i];
            event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0]
                = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, children[i], False, NoEventMask, &event);
            ++sent;
        }
        XFree(children);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
