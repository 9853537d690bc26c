#include "link/window_link.h"

#include "link/port_names.h"
#include "link/tcp_transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <QPointer>

#include <cmath>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Holds back the operator's input (keys, clicks, wheel, touch) while it lives and delivers it, in
// order, once it is gone: for the wait for a network connection, where nothing the operator does
// may act on a half-open line. Everything else runs, the window system's close request included.
class HeldInput : public QObject
{
public:
    HeldInput() { QCoreApplication::instance()->installEventFilter(this); }
    ~HeldInput() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        for (auto &[receiver, event] : held_) {
            if (receiver)
                QCoreApplication::postEvent(receiver, event.release());
        }
    }
    // Holds nothing more and drops what it holds: the line is shut for good and the window is
    // closing, whose exit question must have the operator's keys and clicks.
    void drop()
    {
        QCoreApplication::instance()->removeEventFilter(this);
        held_.clear();
    }

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Taken, so that no shortcut acts on the key; the key itself is held.
            event->accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::ContextMenu:
            held_.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
            return true;
        default:
            return false;
        }
    }

private:
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

} // namespace

WindowLink::WindowLink(QObject *parent)
    : QObject(parent)
    , core_(LinkCore::Timing::Window)
{
    connect(&core_, &LinkCore::wait_began, this, &WindowLink::wait_began);
    connect(&core_, &LinkCore::received, this, &WindowLink::received);
    connect(&core_, &LinkCore::line_lost, this, &WindowLink::line_lost);
    connect(&core_, &LinkCore::traced, this, &WindowLink::traced);
    connect(&core_, &LinkCore::noted, this, &WindowLink::noted);
}

WindowLink::~WindowLink() = default;

bool WindowLink::open_line(const QString &device)
{
    if (!is_network_address(device))
        return core_.open(device);
    // A network line connects while the window runs, so that it keeps drawing and a close
    // request ends the wait and the program; the operator's input waits until it is over.
    std::optional<bool> result;
    const QMetaObject::Connection ok
        = connect(&core_, &LinkCore::opened, this, [&result] { result = true; });
    const QMetaObject::Connection failed
        = connect(&core_, &LinkCore::open_failed, this, [&result] { result = false; });
    core_.open_async(device);
    {
        HeldInput held;
        const QMetaObject::Connection shut
            = connect(this, &WindowLink::shutting_down, &held, &HeldInput::drop);
        // The connect's own time limit ends it; the loop's limit is only a backstop.
        wait_for(TcpTransport::connect_timeout_ms * 2, [&result] { return result.has_value(); });
        disconnect(shut);
    }
    disconnect(ok);
    disconnect(failed);
    if (!result) {
        // A close request (shut_down) or the backstop: the connect is given up.
        core_.close();
        return false;
    }
    return *result;
}

void WindowLink::set_comm()
{
    const QString device = port_device(port_no_);
    if (open_line(device)) {
        Q_EMIT opened();
    } else if (shut_) {
        // The window closed while a network connection was being made: nothing more to tell.
        return;
    } else {
        Q_EMIT open_failed(port_no_, device, core_.open_error());
        core_.stop_polling();
    }
    // The window has been told the new state: let it show it before whatever the caller does
    // next, after success and failure alike, as the operator expects of Connect.
    show_pending_events();
}

void WindowLink::show_pending_events()
{
    QCoreApplication::processEvents();
}

void WindowLink::disconnect_port()
{
    if (!core_.is_open())
        return;
    Q_EMIT disconnected();
    core_.close();
}

void WindowLink::close_port()
{
    core_.close();
}

void WindowLink::shut_down()
{
    shut_ = true;
    core_.close();
    Q_EMIT shutting_down();
}

LinkOutcome WindowLink::request(const QByteArray &bytes)
{
    if (link_busy() || shut_) {
        if (!shut_)
            trace_refused(bytes);
        LinkOutcome refused;
        refused.status = shut_ ? Outcome::ShutDown : Outcome::Busy;
        return refused;
    }
    reply_ok_ = false;
    std::optional<LinkOutcome> outcome;
    const QMetaObject::Connection connection = connect(
        &core_, &LinkCore::finished, this, [&outcome](const LinkOutcome &o) { outcome = o; });
    // The window waits for earlier output to leave before each send, without running events.
    core_.drain_output();
    const Outcome status = core_.start(bytes);
    if (status != Outcome::Pending) {
        disconnect(connection);
        if (status == Outcome::NotOpen)
            Q_EMIT refused_not_open();
        LinkOutcome refused;
        refused.status = status;
        return refused;
    }
    // The core's own reply wait ends it; the loop's limit is only a backstop.
    busy_ = true;
    wait_for(reply_wait_ms * 10, [&outcome] { return outcome.has_value(); });
    busy_ = false;
    disconnect(connection);
    if (!outcome) {
        // Not reached while the core keeps its deadline; kept so that a wait can never hang.
        core_.close();
        outcome = LinkOutcome {};
        outcome->status = Outcome::LineLost;
    }
    reply_ok_ = outcome->replied();
    return *outcome;
}

void WindowLink::send_cmd_nowait(const QByteArray &text)
{
    if (link_busy() || shut_) {
        if (!shut_)
            trace_refused(text);
        return;
    }
    core_.drain_output();
    if (core_.send_nowait(text) == Outcome::NotOpen)
        Q_EMIT refused_not_open();
}

void WindowLink::trace_refused(const QByteArray &bytes)
{
    TraceRecord record;
    record.started = QDateTime::currentDateTime();
    record.sent = bytes;
    record.outcome = Outcome::Busy;
    Q_EMIT traced(record);
}

void WindowLink::delay_sec(double seconds)
{
    // Ends once more than the given time has passed on a monotonic clock, in whole milliseconds.
    const qint64 limit_ms = pause_ms(seconds);
    QElapsedTimer clock;
    clock.start();
    ++delay_depth_;
    for (qint64 left = limit_ms; left > 0 && !shut_; left = limit_ms - clock.elapsed())
        wait_for(static_cast<int>(left), {});
    --delay_depth_;
}

void WindowLink::wait_for(int ms, const std::function<bool()> &done)
{
    if (shut_ || (done && done()))
        return;
    ++delay_depth_;
    QEventLoop loop;
    QTimer deadline;
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &WindowLink::shutting_down, &loop, &QEventLoop::quit);
    if (done) {
        const auto check = [&] {
            if (done())
                loop.quit();
        };
        connect(&core_, &LinkCore::finished, &loop, check);
        connect(&core_, &LinkCore::opened, &loop, check);
        connect(&core_, &LinkCore::open_failed, &loop, check);
    }
    deadline.start(ms);
    loop.exec();
    --delay_depth_;
}
