#pragma once

#include "app/receive_log_count.h"

#include <QObject>
#include <QStringList>

class PortTooltips;
class Prompts;
class WindowLink;
class TraceWriter;
namespace Ui {
class frm_main;
}

// The window's side of the link: the COM list and the Connect/Disconnect buttons with their
// colours, the messages about the port, and the receive log with its "C" and "Auto" controls.
// The link tells what happened; this decides what the operator sees.
class PortRow : public QObject
{
    Q_OBJECT
public:
    // How the Connect/Disconnect buttons look.
    enum class Look { Untried, Connected, Disconnected };

    PortRow(Ui::frm_main *ui, WindowLink &link, Prompts &prompts, QObject *parent = nullptr);

    // The receive log keeps at most this many trace lines; the oldest go first.
    static constexpr int max_log_lines = 5000;

    Look look() const { return look_; }
    // The receive log's auto-clear setting, 0 or 1, as the settings file keeps it.
    int auto_clear() const { return auto_clear_; }
    void set_auto_clear(int value);
    // Characters received since the count last started over (see ReceiveLogCount).
    quint32 rx_count() const { return log_count_.count(); }
    // Start-up: shows the saved port in the list, which connects to it.
    void select_port(int port_no);
    // Also appends every trace line of the receive log to writer (--trace FILE); null stops it.
    // The first line the writer cannot write is told once, on standard error and in the port
    // row's tooltips, and no more lines go to it.
    void set_trace(TraceWriter *writer) { trace_ = writer; }
    // What the port row says about the trace file: empty while it is written well.
    QString trace_note() const { return trace_note_; }
    // While held, messages about the port wait (start-up: until the window is drawn); release()
    // shows the ones that waited, in order.
    void hold_messages() { held_ = true; }
    void release_messages();

Q_SIGNALS:
    void look_changed(PortRow::Look look);

private:
    void cbo_com_Click();
    void cmd_conn_Click(int index);
    void cmd_clear_Click();
    void chk_auto_Click();
    void set_look(Look look);
    void message(const QString &text);
    void trace_failed();
    void write_log_line(const QString &line);

    Ui::frm_main *ui_;
    WindowLink &link_;
    Prompts &prompts_;
    TraceWriter *trace_ = nullptr;
    QString trace_note_;
    PortTooltips *tooltips_ = nullptr;
    bool held_ = false;
    QStringList waiting_;
    Look look_ = Look::Untried;
    ReceiveLogCount log_count_;
    int auto_clear_ = 0;
    bool com_changed_ = false; // the last cbo_com change has run its handler already
};
