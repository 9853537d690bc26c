#include "projector/projector_transfer.h"

#include "codec/display_reply.h"
#include "link/serial_link.h"
#include "projector/display_editor.h"
#include "projector/projector_port.h"
#include "protocol/protocol.h"
#include "protocol/reply_values.h"
#include "protocol/vocabulary.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/handler_steps.h"
#include "section/prompts.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr double step_pause_sec = 0.1;

QByteArray display_prefix(int selector)
{
    return protocol::find_command(
        selector == CommandCodec::display_on ? "display_on_command" : "display_off_command")
        ->prefix;
}

// Bytes of a normalized hex text.
int byte_count(const QString &hex)
{
    return static_cast<int>(hex.size() / 3);
}

// Bytes of the whole message that carries n command bytes.
int message_size(int selector, int n)
{
    return static_cast<int>(display_prefix(selector).size() + QByteArray::number(n).size() + 1 + n
        + protocol::terminator_len);
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
    if (byte_count(codec.disp_on_hex) > max_on_bytes)
        return QStringLiteral("[Display On] is too long: at most %1 bytes can be sent !")
            .arg(max_on_bytes);
    if (byte_count(codec.disp_off_hex) > max_off_bytes)
        return QStringLiteral("[Display Off] is too long: at most %1 bytes can be sent !")
            .arg(max_off_bytes);
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
    QCoreApplication::processEvents();
    if (port_.cmd_send_port_Click()) {
        ctx_.link.delay_sec(step_pause_sec);
        cmd_send_disp_Click(CommandCodec::display_on);
        ctx_.link.delay_sec(step_pause_sec);
        cmd_send_disp_Click(CommandCodec::display_off);
    }
}

void ProjectorTransfer::cmd_send_disp_Click(int selector)
{
    CommandCodec &codec = editor_.codec();
    const QString &command
        = selector == CommandCodec::display_on ? codec.disp_on_hex : codec.disp_off_hex;
    const int n = byte_count(command);
    bool ok = false;
    // The command may have changed since Send checked it (a view switch during a pause): a
    // message that would not fit the buffer is not built.
    if (message_size(selector, n) <= ByteBuffer::capacity) {
        const QString framing
            = QString::fromLatin1(display_prefix(selector) + QByteArray::number(n) + ',');
        QString message = codec.text_to_hex(framing, selector) + command
            + codec.text_to_hex(QString::fromLatin1(protocol::terminator), selector);
        // The message is built in a buffer of its own; the link only sends its bytes.
        ByteBuffer buf;
        hex_to_buf(message, buf);
        ok = ctx_.link.send_bytes(buf.data());
    }
    if (!ok)
        ctx_.fail.show_fail(w_.lab_proj_reply, handler_steps::send_fail_text());
}

void ProjectorTransfer::cmd_proj_read_Click()
{
    const FocusKeeper disabled(w_.cmd_proj_read);
    QCoreApplication::processEvents();
    if (port_.cmd_read_port_Click()) {
        ctx_.link.delay_sec(step_pause_sec);
        cmd_read_disp_Click(CommandCodec::display_on);
        ctx_.link.delay_sec(step_pause_sec);
        cmd_read_disp_Click(CommandCodec::display_off);
    }
}

void ProjectorTransfer::cmd_read_disp_Click(int selector)
{
    const QByteArray prefix = display_prefix(selector);
    LinkOutcome outcome = ctx_.link.request(protocol::query_message(prefix));
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
