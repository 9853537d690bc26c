#include "projector/projector_transfer.h"

#include "codec/display_reply.h"
#include "link/window_link.h"
#include "model/plans.h"
#include "projector/display_editor.h"
#include "projector/projector_port.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/handler_steps.h"
#include "section/prompts.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

const model::Setting &display_setting(int selector)
{
    return *model::find_setting(selector == CommandCodec::display_on
            ? QStringLiteral("display_on_command")
            : QStringLiteral("display_off_command"));
}

int selector_of(const model::Setting &setting)
{
    return &setting == &display_setting(CommandCodec::display_on) ? CommandCodec::display_on
                                                                  : CommandCodec::display_off;
}

// Bytes of a normalized hex text.
int byte_count(const QString &hex)
{
    return static_cast<int>(hex.size() / 3);
}

} // namespace

ProjectorTransfer::ProjectorTransfer(const HandlerContext &ctx, const Widgets &widgets,
    ProjectorPort &port, DisplayEditor &editor, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
    , port_(port)
    , editor_(editor)
{
    connect(
        w_.cmd_proj_send, &QAbstractButton::clicked, this, &ProjectorTransfer::cmd_proj_send_Click);
    connect(
        w_.cmd_proj_read, &QAbstractButton::clicked, this, &ProjectorTransfer::cmd_proj_read_Click);
}

QString ProjectorTransfer::refusal() const
{
    const CommandCodec &codec = editor_.codec();
    if (codec.disp_on_hex.isEmpty() || codec.disp_off_hex.isEmpty())
        return QStringLiteral("[Display On] or [Display Off] is wrong !");
    const model::Setting &on = display_setting(CommandCodec::display_on);
    if (!model::command_fits(on, byte_count(codec.disp_on_hex)))
        return QStringLiteral("[Display On] is too long: at most %1 bytes can be sent !")
            .arg(on.max_bytes);
    const model::Setting &off = display_setting(CommandCodec::display_off);
    if (!model::command_fits(off, byte_count(codec.disp_off_hex)))
        return QStringLiteral("[Display Off] is too long: at most %1 bytes can be sent !")
            .arg(off.max_bytes);
    return {};
}

void ProjectorTransfer::cmd_proj_send_Click()
{
    editor_.capture_disp_cmds();
    if (ctx_.state.cmd_fmt == CommandView::Hex) {
        // The operator sees the normalized form; an entry that was not hex leaves its box empty.
        w_.txt_proj_disp_on_hex->setText(editor_.codec().disp_on_hex);
        w_.txt_proj_disp_off_hex->setText(editor_.codec().disp_off_hex);
    }
    const QString why = refusal();
    if (!why.isEmpty()) {
        ctx_.prompts.message(why, Prompts::Icon::Critical);
        return;
    }

    const FocusKeeper disabled(w_.cmd_proj_send);
    ctx_.link.show_pending_events();
    // The port settings and, when they got a reply, both display commands, in the plan's order
    // and with its pauses between the steps.
    const model::Setting &port = *model::find_setting(QStringLiteral("projector_port"));
    const std::vector<model::Step> plan = model::send_plan({
        { &port, ProjectorPort::port_message(port_.values()) },
        { &display_setting(CommandCodec::display_on), {} },
        { &display_setting(CommandCodec::display_off), {} },
    });
    for (const model::Step &step : plan) {
        if (step.pause_before_sec > 0)
            ctx_.link.delay_sec(step.pause_before_sec);
        if (step.setting->values == model::Values::PortSettings) {
            if (!port_.send_port(step.message))
                return;
        } else {
            send_display_command(selector_of(*step.setting));
        }
    }
}

void ProjectorTransfer::send_display_command(int selector)
{
    CommandCodec &codec = editor_.codec();
    QString hex = selector == CommandCodec::display_on ? codec.disp_on_hex : codec.disp_off_hex;
    ByteBuffer bytes;
    hex_to_buf(hex, bytes);
    // The command may have changed since Send checked it (a view switch during a pause): a
    // message that would not fit the buffer is not sent.
    const std::optional<QByteArray> message
        = model::command_message(display_setting(selector), bytes.data());
    const bool ok = message && ctx_.link.send_cmd(*message);
    if (!ok)
        ctx_.fail.show_fail(w_.lab_proj_reply, handler_steps::send_fail_text());
}

void ProjectorTransfer::cmd_proj_read_Click()
{
    const FocusKeeper disabled(w_.cmd_proj_read);
    ctx_.link.show_pending_events();
    // The port settings and, when they got a reply, both display commands.
    for (const model::Step &step : model::read_plan(model::ReadGroup::Transfer)) {
        if (step.pause_before_sec > 0)
            ctx_.link.delay_sec(step.pause_before_sec);
        if (step.setting->values == model::Values::PortSettings) {
            if (!port_.read_port(step))
                return;
        } else {
            read_display_command(selector_of(*step.setting), step.message);
        }
    }
}

void ProjectorTransfer::read_display_command(int selector, const QByteArray &query)
{
    const QByteArray prefix = display_setting(selector).prefix();
    LinkOutcome outcome = ctx_.link.request(query);
    ByteBuffer &buf = outcome.bytes;
    const std::optional<QByteArray> bytes
        = outcome.replied() ? display_command_from_reply(prefix, outcome.reply, buf) : std::nullopt;
    if (bytes) {
        // The command bytes move to the front of the buffer, which then holds the command alone.
        std::copy(bytes->begin(), bytes->end(), buf.bytes.begin());
        buf.len = static_cast<int>(bytes->size());
        QString &command = selector == CommandCodec::display_on ? editor_.codec().disp_on_hex
                                                                : editor_.codec().disp_off_hex;
        command = buf_to_hex(buf);
        editor_.show_disp_cmd(selector);
        return;
    }
    ctx_.fail.show_fail(w_.lab_proj_reply, handler_steps::read_fail_text());
}
