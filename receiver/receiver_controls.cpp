#include "receiver/receiver_controls.h"

#include "section/focus_keeper.h"
#include "section/apply_reply.h"
#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/window_state.h"
#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "section/handler_steps.h"
#include "ui_frm_main.h"

#include <QCoreApplication>

#include <array>

namespace {

// One entry of a fixed list: the text shown, and the argument word its choice sends.
struct Choice
{
    const char *entry;
    const char *argument;
};

// Positions 0, 1, ... of each fixed list.
constexpr std::array<Choice, 5> aspect_choices = { { { "Full", "Full" }, { "16:9 TV", "16:9" },
    { "16:10 TV", "16:10" }, { "4:3 TV", "4:3" }, { "Keep Ratio", "Keep" } } };
constexpr std::array<Choice, 4> disp_mode_choices = { { { "DispSW AVon", "DispSWAVOn" },
    { "DispSW AVSW", "DispSWAVSW" }, { "AV SW", "AVSW" }, { "Always ON", "AlwaysOn" } } };
constexpr std::array<Choice, 3> hdcp_choices
    = { { { "Compliant", "HDCP" }, { "Noncompliant", "NotHDCP" }, { "Auto", "Auto" } } };
constexpr std::array<Choice, 2> baud_choices = { { { "9600", "9600" }, { "115200", "115200" } } };
// The input list of the three-input transmitter; the two-input layout is "Hdmi", "Vga".
constexpr std::array<Choice, 3> input_three_choices
    = { { { "Hdmi1", "Hdmi1" }, { "Hdmi2", "Hdmi2" }, { "Vga", "Vga" } } };

constexpr int on_position = 0; // "On" in the display list; any other position is "Off"
constexpr int hdmi_position = 0; // "Hdmi" in the two-input layout; any other position is "Vga"
constexpr int auto_off_zero_position = 0; // the auto-off entry that sends "0", whatever it reads
constexpr int overscan_max = 50;

template <std::size_t N> QStringList entries_of(const std::array<Choice, N> &choices)
{
    QStringList entries;
    for (const Choice &choice : choices)
        entries << QString::fromLatin1(choice.entry);
    return entries;
}

// The argument word of position; empty for a position the table does not hold.
template <std::size_t N> QByteArray argument_of(const std::array<Choice, N> &choices, int position)
{
    if (position < 0 || position >= static_cast<int>(N))
        return {};
    return QByteArray(choices[static_cast<std::size_t>(position)].argument);
}

QStringList on_off()
{
    return { QStringLiteral("On"), QStringLiteral("Off") };
}

} // namespace

ReceiverControls::ReceiverControls(const HandlerContext &ctx, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
{
    Ui::frm_main *ui = ctx_.ui;
    const struct
    {
        QComboBox *combo;
        void (ReceiverControls::*handler)();
    } lists[] = {
        { ui->cbo_input, &ReceiverControls::cbo_input_Click },
        { ui->cbo_aspect, &ReceiverControls::cbo_aspect_Click },
        { ui->cbo_display, &ReceiverControls::cbo_display_Click },
        { ui->cbo_disp_mode, &ReceiverControls::cbo_disp_mode_Click },
        { ui->cbo_output, &ReceiverControls::cbo_output_Click },
        { ui->cbo_in_prefer, &ReceiverControls::cbo_in_prefer_Click },
        { ui->cbo_hdcp_in, &ReceiverControls::cbo_hdcp_in_Click },
        { ui->cbo_overscan_en, &ReceiverControls::cbo_overscan_en_Click },
        { ui->cbo_overscan_h, &ReceiverControls::cbo_overscan_h_Click },
        { ui->cbo_overscan_v, &ReceiverControls::cbo_overscan_v_Click },
        { ui->cbo_audio_en, &ReceiverControls::cbo_audio_en_Click },
        { ui->cbo_audio_hdmi, &ReceiverControls::cbo_audio_hdmi_Click },
        { ui->cbo_audio_lr, &ReceiverControls::cbo_audio_lr_Click },
        { ui->cbo_standby, &ReceiverControls::cbo_standby_Click },
        { ui->cbo_baudrate, &ReceiverControls::cbo_baudrate_Click },
    };
    for (const auto &list : lists)
        connect(list.combo, &QComboBox::currentIndexChanged, this, list.handler);

    connect(ui->cmd_sys_rst, &QAbstractButton::clicked, this, &ReceiverControls::cmd_sys_rst_Click);
    connect(
        ui->cmd_vga_auto, &QAbstractButton::clicked, this, &ReceiverControls::cmd_vga_auto_Click);
    connect(
        ui->cmd_ctrl_read, &QAbstractButton::clicked, this, &ReceiverControls::cmd_ctrl_read_Click);
    connect(ui->cmd_info, &QAbstractButton::clicked, this, &ReceiverControls::cmd_info_Click);
}

void ReceiverControls::fill_lists()
{
    Ui::frm_main *ui = ctx_.ui;
    fill_combo(ui->cbo_input, { QStringLiteral("Hdmi"), QStringLiteral("Vga") });
    fill_combo(ui->cbo_display, on_off());
    fill_combo(ui->cbo_disp_mode, entries_of(disp_mode_choices));
    fill_combo(ui->cbo_aspect, entries_of(aspect_choices));
    fill_combo(ui->cbo_overscan_en, { QStringLiteral("Yes"), QStringLiteral("No") });
    fill_combo(ui->cbo_overscan_h, number_entries(0, overscan_max));
    fill_combo(ui->cbo_overscan_v, number_entries(0, overscan_max));
    fill_combo(ui->cbo_audio_en, on_off());
    fill_combo(ui->cbo_audio_hdmi, on_off());
    fill_combo(ui->cbo_audio_lr, on_off());
    fill_combo(ui->cbo_hdcp_in, entries_of(hdcp_choices));
    fill_combo(ui->cbo_baudrate, entries_of(baud_choices));
}

int ReceiverControls::chosen(const QComboBox *combo) const
{
    if (ctx_.state.reading)
        return -1;
    return combo->currentIndex();
}

void ReceiverControls::send_waiting(
    QComboBox *combo, const char *prefix, const QByteArray &argument)
{
    handler_steps::send_disabled(
        ctx_, combo, protocol::setting_message(prefix, argument), ctx_.ui->lab_ctrl_reply);
}

void ReceiverControls::send_nowait(const char *prefix, const QByteArray &argument)
{
    ctx_.link.send_cmd_nowait(protocol::setting_message(prefix, argument));
}

void ReceiverControls::cbo_input_Click()
{
    QComboBox *combo = ctx_.ui->cbo_input;
    const int position = chosen(combo);
    if (position < 0)
        return;
    QByteArray argument;
    if (ctx_.state.single_hdmi)
        argument = position == hdmi_position ? "Hdmi" : "Vga";
    else
        argument = argument_of(input_three_choices, position);
    if (argument.isEmpty())
        return;
    send_waiting(combo, "WP_Input[", argument);
}

void ReceiverControls::cbo_aspect_Click()
{
    QComboBox *combo = ctx_.ui->cbo_aspect;
    const int position = chosen(combo);
    if (position < 0)
        return;
    const QByteArray argument = argument_of(aspect_choices, position);
    if (!argument.isEmpty())
        send_waiting(combo, "WP_Aspect[", argument);
}

void ReceiverControls::cbo_display_Click()
{
    QComboBox *combo = ctx_.ui->cbo_display;
    const int position = chosen(combo);
    if (position < 0)
        return;
    send_waiting(combo, "WP_Display[", position == on_position ? "On" : "Off");
}

void ReceiverControls::cbo_disp_mode_Click()
{
    QComboBox *combo = ctx_.ui->cbo_disp_mode;
    const int position = chosen(combo);
    if (position < 0)
        return;
    const QByteArray argument = argument_of(disp_mode_choices, position);
    if (!argument.isEmpty())
        send_waiting(combo, "WP_DisplayMode[", argument);
}

void ReceiverControls::cbo_output_Click()
{
    QComboBox *combo = ctx_.ui->cbo_output;
    const int position = chosen(combo);
    if (position < 0)
        return;
    send_waiting(combo, "WP_Output[", QByteArray::number(position));
}

void ReceiverControls::cbo_in_prefer_Click()
{
    QComboBox *combo = ctx_.ui->cbo_in_prefer;
    const int position = chosen(combo);
    if (position < 0)
        return;
    send_waiting(combo, "WP_InputPrefer[", QByteArray::number(position));
}

void ReceiverControls::cbo_hdcp_in_Click()
{
    QComboBox *combo = ctx_.ui->cbo_hdcp_in;
    const int position = chosen(combo);
    if (position < 0)
        return;
    const QByteArray argument = argument_of(hdcp_choices, position);
    if (!argument.isEmpty())
        send_waiting(combo, "WP_HdcpInput[", argument);
}

void ReceiverControls::cbo_overscan_en_Click()
{
    QComboBox *combo = ctx_.ui->cbo_overscan_en;
    if (chosen(combo) < 0)
        return;
    send_waiting(combo, "WP_OverscanEn[", handler_steps::entry_argument(combo->currentText()));
}

void ReceiverControls::cbo_overscan_h_Click()
{
    const QComboBox *combo = ctx_.ui->cbo_overscan_h;
    if (chosen(combo) < 0)
        return;
    send_nowait("WP_OverscanH[", handler_steps::entry_argument(combo->currentText()));
}

void ReceiverControls::cbo_overscan_v_Click()
{
    const QComboBox *combo = ctx_.ui->cbo_overscan_v;
    if (chosen(combo) < 0)
        return;
    send_nowait("WP_OverscanV[", handler_steps::entry_argument(combo->currentText()));
}

void ReceiverControls::cbo_audio_en_Click()
{
    QComboBox *combo = ctx_.ui->cbo_audio_en;
    if (chosen(combo) < 0)
        return;
    send_waiting(combo, "WP_AudioEn[", handler_steps::entry_argument(combo->currentText()));
}

void ReceiverControls::cbo_audio_hdmi_Click()
{
    QComboBox *combo = ctx_.ui->cbo_audio_hdmi;
    if (chosen(combo) < 0)
        return;
    send_waiting(combo, "WP_AudioHdmi[", handler_steps::entry_argument(combo->currentText()));
}

void ReceiverControls::cbo_audio_lr_Click()
{
    QComboBox *combo = ctx_.ui->cbo_audio_lr;
    if (chosen(combo) < 0)
        return;
    send_waiting(combo, "WP_AudioLR[", handler_steps::entry_argument(combo->currentText()));
}

void ReceiverControls::cbo_standby_Click()
{
    const QComboBox *combo = ctx_.ui->cbo_standby;
    const int position = chosen(combo);
    if (position < 0)
        return;
    send_nowait("WP_AutoOff[",
        position == auto_off_zero_position ? QByteArray("0")
                                           : handler_steps::entry_argument(combo->currentText()));
}

void ReceiverControls::cbo_baudrate_Click()
{
    QComboBox *combo = ctx_.ui->cbo_baudrate;
    const int position = chosen(combo);
    if (position < 0)
        return;
    const QByteArray argument = argument_of(baud_choices, position);
    if (!argument.isEmpty())
        send_waiting(combo, "WP_BaudrateTx[", argument);
}

void ReceiverControls::cmd_sys_rst_Click()
{
    handler_steps::press_action(ctx_, ctx_.ui->cmd_sys_rst,
        protocol::setting_message("WP_SystemRst[", "Go"), ctx_.ui->lab_ctrl_reply);
}

void ReceiverControls::cmd_vga_auto_Click()
{
    handler_steps::press_action(ctx_, ctx_.ui->cmd_vga_auto,
        protocol::setting_message("WP_VgaAuto[", "Go"), ctx_.ui->lab_ctrl_reply);
}

void ReceiverControls::cmd_ctrl_read_Click()
{
    Ui::frm_main *ui = ctx_.ui;
    const handler_steps::ReadingGuard guard(ctx_.state);
    const FocusKeeper disabled(ui->cmd_ctrl_read);
    bool ok = true;
    for (const int number : protocol::readback_order) {
        const QByteArray prefix = protocol::cmd_prefix(number);
        const bool replied = ctx_.link.send_cmd(protocol::query_message(prefix));
        // Kept before the pause: a transaction let through during the pause (Get, System Reset)
        // leaves its own reply in the link.
        QByteArray value = ctx_.link.reply_text();
        ctx_.link.delay_sec(0.05);
        if (!replied || !protocol::strip_reply(value, prefix)) {
            ok = false;
            break;
        }
        apply_reply(ui, ctx_.state, number, value);
    }
    if (!ok)
        ctx_.fail.show_fail(ui->lab_ctrl_reply, handler_steps::read_fail_text());
}

void ReceiverControls::cmd_info_Click()
{
    Ui::frm_main *ui = ctx_.ui;
    ui->lab_fw_ver_rx->clear();
    ui->lab_fw_ver_tx->clear();
    const FocusKeeper disabled(ui->cmd_info);
    QCoreApplication::processEvents();

    // Each reply is cut by length alone: its start is not compared with the prefix.
    const auto query = [this](const char *prefix, QByteArray *value) {
        const QByteArray prefix_text(prefix);
        if (!ctx_.link.send_cmd(protocol::query_message(prefix_text))) {
            ctx_.fail.show_fail(ctx_.ui->lab_ctrl_reply, handler_steps::send_fail_text());
            return false;
        }
        *value = protocol::cut_reply(ctx_.link.reply_text(), static_cast<int>(prefix_text.size()));
        return true;
    };

    QByteArray value;
    if (query("WP_Info[", &value))
        ui->lab_fw_ver_rx->setText(QString::fromLatin1(value));
    if (query("WP_InfoTx[", &value)) {
        ui->lab_fw_ver_tx->setText(QString::fromLatin1(value));
        if (query("WP_BaudrateTx[", &value)) {
            // Selecting a new rate runs the list's handler, which sends it to the receiver.
            for (int position = 0; position < static_cast<int>(baud_choices.size()); ++position) {
                if (value == baud_choices[static_cast<std::size_t>(position)].argument)
                    select_position(ui->cbo_baudrate, position);
            }
        }
    }
}
