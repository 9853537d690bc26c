#pragma once

#include "app/main_window.h"
#include "sim/pty_sim.h"
#include "sim/tcp_sim.h"
#include "tests/support/scripted_prompts.h"
#include "ui_frm_main.h"

#include <QTemporaryDir>

#include <memory>

// The real window on a config folder of its own, with COM1 wired to a simulated receiver and
// prompts answered by the test. The receiver is on a pseudo-terminal, or behind a gateway: a
// loopback listener in this process that COM1 reaches as tcp://127.0.0.1:PORT.
class WindowFixture
{
public:
    enum class Line {
        Pty,
        Tcp,
    };

    struct Options
    {
        int port_no = 1;
        int auto_clear = 0;
        int cmd_fmt = 0;
        QString proj_file;
        int open_section = 1;
        QByteArray identify = QByteArrayLiteral("TX");
        bool start_sim = true;
        Line line = Line::Pty;
        // Answers prompts instead of the scripted ones (the real message boxes, say).
        Prompts *prompts = nullptr;
    };

    WindowFixture();
    explicit WindowFixture(const Options &options);
    ~WindowFixture();

    // Builds the window and runs its start-up; false with the report when start-up fails.
    bool start(QString *error = nullptr);
    // Closes the window as the operator does (runs the exit steps).
    void close();

    // The config folder, and a path inside it.
    QString dir() const { return dir_.path(); }
    QString path(const QString &name) const { return dir_.filePath(name); }
    // Rewrites the settings file from the options (before start).
    void write_settings(const Options &options);
    // Writes a file in the config folder with the given bytes.
    void write_file(const QString &name, const QByteArray &bytes);
    QByteArray read_file(const QString &name) const;

    // Messages the receiver got, oldest first; clear_sent forgets them.
    QList<QByteArray> sent();
    void clear_sent();

    // The receiver on either line: what COM1 opens, its faults, its stored values, a hang-up.
    QString address() const { return address_; }
    void set_faults(const SimFaults &faults);
    QByteArray value(const QByteArray &prefix);
    void set_value(const QByteArray &prefix, const QByteArray &value);
    void hang_up();
    // After a hang-up, the receiver serves its line again: the pty is made anew; a listener takes
    // the next connection by itself.
    bool serve_again();
    // The receiver's line is up: the pty is served, a client is connected to the listener.
    bool line_up();

    // The receiver on a pty (Line::Pty), and the gateway's listener (Line::Tcp; null otherwise).
    PtySimulator sim;
    std::unique_ptr<TcpSimulator> tcp_sim;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
    Ui::frm_main *ui = nullptr;

private:
    QTemporaryDir dir_;
    Options options_;
    QByteArray old_com1_;
    QString address_;
};

// Options that open the window in the Projector section, in the given command view.
inline WindowFixture::Options projector_section(int cmd_fmt = 0)
{
    WindowFixture::Options options;
    options.open_section = 0;
    options.cmd_fmt = cmd_fmt;
    return options;
}

// Starts the window of fixture f; a start-up that fails ends the test with its report.
#define START_WINDOW(f)                                                                            \
    do {                                                                                           \
        QString start_report_;                                                                     \
        QVERIFY2((f).start(&start_report_), qPrintable(start_report_));                            \
    } while (false)
