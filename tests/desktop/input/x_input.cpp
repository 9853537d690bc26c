#include "tests/desktop/input/x_input.h"

#include <QThread>

// After Qt's headers: Xlib defines Status, Bool and other plain names as macros.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

// A window that vanishes while the tree is walked is not an error here.
int ignore_errors(Display *, XErrorEvent *)
{
    return 0;
}

const char *char_name(QChar c)
{
    switch (c.unicode()) {
    case '/':
        return "slash";
    case '.':
        return "period";
    case '_':
        return "underscore";
    case '-':
        return "minus";
    case ':':
        return "colon";
    case '~':
        return "asciitilde";
    case ' ':
        return "space";
    default:
        return nullptr;
    }
}

} // namespace

XInput::XInput()
{
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        why_ = QStringLiteral("no X display");
        return;
    }
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor))
        why_ = QStringLiteral("the X server has no XTest extension");
    XSetErrorHandler(ignore_errors);
}

XInput::~XInput()
{
    if (display_)
        XCloseDisplay(display_);
}

void XInput::sync()
{
    XSync(display_, False);
}

void XInput::key(const char *name, bool down)
{
    const KeySym sym = XStringToKeysym(name);
    const KeyCode code = XKeysymToKeycode(display_, sym);
    if (code == 0)
        return;
    // A character on the shifted level of its key (an underscore, say) needs Shift held.
    const bool shifted = XkbKeycodeToKeysym(display_, code, 0, 0) != sym
        && XkbKeycodeToKeysym(display_, code, 0, 1) == sym;
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    if (shifted && down)
        XTestFakeKeyEvent(display_, shift, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
    if (shifted && !down)
        XTestFakeKeyEvent(display_, shift, False, CurrentTime);
    sync();
}

void XInput::key_down(const char *name)
{
    key(name, true);
}

void XInput::key_up(const char *name)
{
    key(name, false);
}

void XInput::tap(const char *name)
{
    // A person's tap: well under the 150 ms pause that follows a key command.
    key_down(name);
    QThread::msleep(30);
    key_up(name);
}

void XInput::type(const QString &text)
{
    for (const QChar c : text) {
        const char *special = char_name(c);
        const QByteArray plain = QByteArray(1, static_cast<char>(c.toLatin1()));
        const char *name = special ? special : plain.constData();
        key_down(name);
        key_up(name);
    }
}

void XInput::set_auto_repeat(int delay_ms, int interval_ms)
{
    XAutoRepeatOn(display_);
    XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, static_cast<unsigned>(delay_ms),
        static_cast<unsigned>(interval_ms));
    sync();
}

void XInput::click(QPoint screen_point)
{
    XTestFakeMotionEvent(display_, -1, screen_point.x(), screen_point.y(), CurrentTime);
    sync();
    QThread::msleep(20);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    sync();
    QThread::msleep(20);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    sync();
}

QList<XInput::Window> XInput::windows_of(qint64 pid)
{
    QList<Window> found;
    const Atom pid_atom = XInternAtom(display_, "_NET_WM_PID", False);
    const Atom name_atom = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    const ::Window root = DefaultRootWindow(display_);
    ::Window root_back = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, root, &root_back, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        const ::Window w = children[i];
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, w, &attributes) || attributes.map_state != IsViewable)
            continue;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display_, w, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format,
                &items, &after, &data)
                != Success
            || !data || items < 1) {
            if (data)
                XFree(data);
            continue;
        }
        const qint64 owner = static_cast<qint64>(*reinterpret_cast<unsigned long *>(data));
        XFree(data);
        if (owner != pid)
            continue;
        Window entry { w, QString(), QPoint() };
        data = nullptr;
        if (XGetWindowProperty(
                display_, w, name_atom, 0, 1024, False, utf8, &type, &format, &items, &after, &data)
                == Success
            && data)
            entry.title = QString::fromUtf8(
                reinterpret_cast<const char *>(data), static_cast<qsizetype>(items));
        if (data)
            XFree(data);
        int x = 0, y = 0;
        ::Window unused = 0;
        XTranslateCoordinates(display_, w, root, 0, 0, &x, &y, &unused);
        entry.origin = QPoint(x, y);
        found << entry;
    }
    if (children)
        XFree(children);
    return found;
}

void XInput::request_close(unsigned long window)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    sync();
}
