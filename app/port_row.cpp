#include "app/port_row.h"

#include "app/port_tooltips.h"
#include "link/port_names.h"
#include "link/trace.h"
#include "link/window_link.h"
#include "section/prompts.h"
#include "ui_frm_main.h"

#include <QDir>

#include <cstdio>
#include <utility>

namespace {

const QColor light_grey(192, 192, 192);
const QColor green(0, 192, 0);
const QColor red(255, 0, 0);

void paint_button(QWidget *button, const QColor &colour)
{
    // A flat face with a raised edge, like the solid-colour buttons operators know.
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 2px outset %1; }"
                       "QPushButton:pressed { border-style: inset; }")
            .arg(colour.name()));
}

} // namespace

PortRow::PortRow(Ui::frm_main *ui, WindowLink &link, Prompts &prompts, QObject *parent)
    : QObject(parent)
    , ui_(ui)
    , link_(link)
    , prompts_(prompts)
{
    set_look(Look::Untried);

    connect(&link_, &WindowLink::opened, this, [this] {
        // A fresh connection counts from nothing; the first poll of the new line comes later.
        log_count_.restart();
        set_look(Look::Connected);
    });
    connect(&link_, &WindowLink::open_failed, this,
        [this](int port_no, const QString &device, const QString &reason) {
            set_look(Look::Disconnected);
            message(port_error_text(port_no, device, reason));
        });
    connect(&link_, &WindowLink::disconnected, this, [this] { set_look(Look::Disconnected); });
    connect(&link_, &WindowLink::line_lost, this, [this] { set_look(Look::Disconnected); });
    connect(&link_, &WindowLink::refused_not_open, this, [this] {
        prompts_.message(QStringLiteral("RS232 is disconnected !"), Prompts::Icon::Critical);
    });
    // The receive log shows the window's traffic: one trace line per transaction, newest last.
    // "C" and "Auto" empty it as before; the oldest lines go once it holds a great many.
    ui_->txt_rx->setMaximumBlockCount(max_log_lines);
    // The count behind "Auto" starts over with each waiting command and takes every poll's
    // bytes; a poll that empties the log does so before the line of the transaction it ends.
    connect(&link_, &WindowLink::wait_began, this, [this] { log_count_.restart(); });
    connect(&link_, &WindowLink::received, this, [this](const QByteArray &bytes) {
        if (log_count_.take(bytes.size()))
            ui_->txt_rx->clear();
    });
    connect(&link_, &WindowLink::traced, this, [this](const TraceRecord &record) {
        write_log_line(trace_line(port_name(link_.port_no()), record));
    });
    connect(&link_, &WindowLink::noted, this, [this](const QString &text) {
        write_log_line(
            trace_note_line(port_name(link_.port_no()), QDateTime::currentDateTime(), text));
    });

    connect(ui_->cbo_com, &QComboBox::currentIndexChanged, this, [this] {
        com_changed_ = true;
        cbo_com_Click();
    });
    // Choosing the entry already shown reconnects too; a change has already run the handler.
    connect(ui_->cbo_com, &QComboBox::activated, this, [this] {
        if (!com_changed_)
            cbo_com_Click();
        com_changed_ = false;
    });
    tooltips_ = new PortTooltips(ui_->cbo_com);
    connect(ui_->cmd_conn_0, &QPushButton::clicked, this, [this] { cmd_conn_Click(0); });
    connect(ui_->cmd_conn_1, &QPushButton::clicked, this, [this] { cmd_conn_Click(1); });
    connect(ui_->cmd_clear, &QPushButton::clicked, this, &PortRow::cmd_clear_Click);
    connect(ui_->chk_auto, &QCheckBox::stateChanged, this, &PortRow::chk_auto_Click);
}

void PortRow::set_auto_clear(int value)
{
    auto_clear_ = value;
    log_count_.set_auto_clear(value == 1);
}

void PortRow::select_port(int port_no)
{
    if (port_no <= 0)
        return;
    ui_->cbo_com->setCurrentIndex(port_no - 1);
    com_changed_ = false;
}

void PortRow::cbo_com_Click()
{
    link_.set_port_no(ui_->cbo_com->currentIndex() + 1);
    link_.set_comm();
}

void PortRow::cmd_conn_Click(int index)
{
    if (index == 0)
        link_.set_comm();
    else
        link_.disconnect_port();
}

void PortRow::cmd_clear_Click()
{
    ui_->txt_rx->clear();
    link_.clear_rx();
    log_count_.restart();
}

void PortRow::chk_auto_Click()
{
    set_auto_clear(ui_->chk_auto->isChecked() ? 1 : 0);
}

void PortRow::set_look(Look look)
{
    look_ = look;
    paint_button(ui_->cmd_conn_0, look == Look::Connected ? green : light_grey);
    paint_button(ui_->cmd_conn_1, look == Look::Disconnected ? red : light_grey);
    Q_EMIT look_changed(look);
}

void PortRow::message(const QString &text)
{
    if (held_)
        waiting_ << text;
    else
        prompts_.message(text, Prompts::Icon::None);
}

void PortRow::release_messages()
{
    held_ = false;
    const QStringList texts = std::exchange(waiting_, {});
    for (const QString &text : texts)
        prompts_.message(text, Prompts::Icon::None);
}

// A line of the receive log, also written to the trace file until that fails once.
void PortRow::write_log_line(const QString &line)
{
    ui_->txt_rx->appendPlainText(line);
    if (trace_ && trace_note_.isEmpty()) {
        trace_->write_line(line);
        if (!trace_->failure().isEmpty())
            trace_failed();
    }
}

void PortRow::trace_failed()
{
    trace_note_
        = QStringLiteral("The trace file %1 cannot be written (%2): no more lines go to it.")
              .arg(QDir::toNativeSeparators(trace_->path()), trace_->failure());
    std::fprintf(stderr, "kz-orba-ctrl: %s\n", qPrintable(trace_note_));
    std::fflush(stderr);
    tooltips_->set_note(trace_note_);
    for (QWidget *row :
        { static_cast<QWidget *>(ui_->lab_wprx_rs232), static_cast<QWidget *>(ui_->fra_rs232_port),
            static_cast<QWidget *>(ui_->cmd_conn_0), static_cast<QWidget *>(ui_->cmd_conn_1) })
        row->setToolTip(trace_note_);
}
