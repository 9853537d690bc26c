#pragma once

#include <QList>
#include <QPoint>
#include <QString>

// Input injected at the X server through the XTest extension, as a keyboard and a mouse would
// deliver it, and the close request a window manager sends. Every call flushes to the server.
class XInput
{
public:
    XInput();
    ~XInput();
    XInput(const XInput &) = delete;
    XInput &operator=(const XInput &) = delete;

    // False when no display could be opened or it lacks XTest; why() tells.
    bool ok() const { return display_ != nullptr && why_.isEmpty(); }
    QString why() const { return why_; }

    // A key by its X name ("j", "Return", "End", "space"), with Shift when the character needs it.
    void key_down(const char *name);
    void key_up(const char *name);
    void tap(const char *name);
    // Types text character by character (letters, digits, and / . _ - : ~).
    void type(const QString &text);
    // The server's auto-repeat of a held key: first repeat after delay_ms, then every interval_ms.
    void set_auto_repeat(int delay_ms, int interval_ms);

    // Moves the pointer to a point of the screen and clicks the left button there.
    void click(QPoint screen_point);

    // Top-level windows that are mapped and belong to the process pid, and their titles.
    struct Window
    {
        unsigned long id;
        QString title;
        QPoint origin; // top-left corner on the screen
    };
    QList<Window> windows_of(qint64 pid);
    // What a window manager sends when its close button is pressed: WM_DELETE_WINDOW.
    void request_close(unsigned long window);

private:
    void key(const char *name, bool down);
    void sync();

    struct _XDisplay *display_ = nullptr;
    QString why_;
};
