#pragma once

#include "tests/support/window_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include <functional>
#include <memory>

// Helpers shared by the receiver-section tests: the window on a simulated receiver, named
// controls, quiet preselection, actions run at a chosen moment, and a barrier on the line.
namespace rx_test {

inline const QByteArray query_terminator = QByteArrayLiteral("?]$\r");

// The window started on a fresh simulated receiver; prepare runs after the files are copied and
// before start-up (to rewrite an option-list file, say).
inline std::unique_ptr<WindowFixture> open_window(const WindowFixture::Options &options = {},
    const std::function<void(WindowFixture &)> &prepare = {}, QString *why = nullptr)
{
    auto fx = std::make_unique<WindowFixture>(options);
    if (prepare)
        prepare(*fx);
    if (!fx->start(why) || !fx->window->link().port_open())
        return nullptr;
    return fx;
}

template <typename T> T *child(const WindowFixture &fx, const QString &name)
{
    return fx.window->findChild<T *>(name);
}

// Selects a position while the window's read-back guard is up, so nothing is sent: the state a
// list is in before the test acts.
inline void preselect(WindowFixture &fx, QComboBox *combo, int position)
{
    WindowState &state = fx.window->state();
    const bool was = state.reading;
    state.reading = true;
    combo->setCurrentIndex(position);
    state.reading = was;
}

// Runs action once, from the window's event loop (also inside a nested wait), as soon as
// condition holds.
inline QTimer *run_when(
    QObject *owner, std::function<bool()> condition, std::function<void()> action)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, condition, action] {
        if (!condition())
            return;
        timer->stop();
        action();
        timer->deleteLater();
    });
    timer->start();
    return timer;
}

// A query sent after everything else: the line is in order, so once its reply is in, every
// message sent before it has reached the receiver. Returns what the receiver got before it.
inline QList<QByteArray> sent_before_barrier(WindowFixture &fx)
{
    const QByteArray barrier = QByteArrayLiteral("WP_Info[?]$\r");
    if (!fx.window->link().send_cmd(barrier))
        return { QByteArrayLiteral("<barrier got no reply>") };
    QList<QByteArray> sent = fx.sent();
    if (sent.isEmpty() || sent.last() != barrier)
        return { QByteArrayLiteral("<barrier missing>") };
    sent.removeLast();
    return sent;
}

inline SimFaults silent_for(const QByteArray &prefix)
{
    SimFaults faults;
    faults.silent = { prefix };
    return faults;
}

inline QList<QByteArray> queries(std::initializer_list<const char *> prefixes)
{
    QList<QByteArray> out;
    for (const char *prefix : prefixes)
        out << QByteArray(prefix) + query_terminator;
    return out;
}

} // namespace rx_test
