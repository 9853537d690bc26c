#include "projector/projector_behaviour.h"

#include "section/apply_reply.h"
#include "section/focus_keeper.h"
#include "section/combo_util.h"
#include "section/window_state.h"
#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "ui_frm_main.h"

namespace {

// Command numbers of the three settings, in read-back order.
constexpr int projsw_number = 21;
constexpr int auto_on_number = 22;
constexpr int auto_off_number = 23;

constexpr int on_position = 0; // "On"; any other entry is "Off"
constexpr int projsw_step = 5;
constexpr int projsw_max = 300;

constexpr double read_pause_sec = 0.1;

} // namespace

ProjectorBehaviour::ProjectorBehaviour(const HandlerContext &ctx, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
{
    Ui::frm_main *ui = ctx_.ui;
    connect(ui->cbo_auto_on, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_auto_on_Click);
    connect(ui->cbo_auto_off, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_auto_off_Click);
    connect(ui->cbo_projsw, &QComboBox::currentIndexChanged, this,
        &ProjectorBehaviour::cbo_projsw_Click);
    connect(ui->cmd_read_proj, &QAbstractButton::clicked, this,
        &ProjectorBehaviour::cmd_read_proj_Click);
}

void ProjectorBehaviour::fill_lists()
{
    Ui::frm_main *ui = ctx_.ui;
    const QStringList on_off = { QStringLiteral("On"), QStringLiteral("Off") };
    fill_combo(ui->cbo_auto_on, on_off);
    fill_combo(ui->cbo_auto_off, on_off);
    fill_combo(ui->cbo_projsw, number_entries(0, projsw_max, projsw_step));
}

void ProjectorBehaviour::cbo_auto_on_Click()
{
    send_auto(ctx_.ui->cbo_auto_on, protocol::cmd_prefix(auto_on_number));
}

void ProjectorBehaviour::cbo_auto_off_Click()
{
    send_auto(ctx_.ui->cbo_auto_off, protocol::cmd_prefix(auto_off_number));
}

void ProjectorBehaviour::send_auto(QComboBox *combo, const QByteArray &prefix)
{
    if (ctx_.state.reading || combo->currentIndex() < 0)
        return;
    const QByteArray word = combo->currentIndex() == on_position ? "On" : "Off";
    // The list cannot be changed while its command is on the way; the reply is not examined.
    const FocusKeeper disabled(combo);
    (void)ctx_.link.send_cmd(protocol::setting_message(prefix, word));
}

void ProjectorBehaviour::cbo_projsw_Click()
{
    QComboBox *combo = ctx_.ui->cbo_projsw;
    if (ctx_.state.reading || combo->currentIndex() < 0)
        return;
    ctx_.link.send_cmd_nowait(protocol::setting_message(
        protocol::cmd_prefix(projsw_number), combo->currentText().trimmed().toLatin1()));
}

void ProjectorBehaviour::cmd_read_proj_Click()
{
    // A read-back started inside another one's pause leaves that one's guard standing.
    const bool was_reading = ctx_.state.reading;
    ctx_.state.reading = true;
    {
        const FocusKeeper disabled(ctx_.ui->cmd_read_proj);
        for (int number : { projsw_number, auto_on_number, auto_off_number }) {
            const QByteArray prefix = protocol::cmd_prefix(number);
            const bool ok = ctx_.link.send_cmd(protocol::query_message(prefix));
            // Taken now: a transaction started during the pause would replace the reply.
            QByteArray value = ctx_.link.reply_text();
            ctx_.link.delay_sec(read_pause_sec);
            if (!ok || !protocol::strip_reply(value, prefix))
                break;
            apply_reply(ctx_.ui, ctx_.state, number, value);
        }
    }
    ctx_.state.reading = was_reading;
}
