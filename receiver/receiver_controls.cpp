#include "receiver/receiver_controls.h"

#include "link/serial_link.h"
#include "protocol/protocol.h"
#include "protocol/vocabulary.h"
#include "section/apply_reply.h"
#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/handler_steps.h"
#include "section/setting_list.h"
#include "section/window_state.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

#include <QCoreApplication>

namespace {

const protocol::Command &command(const char *name)
{
    const protocol::Command *found = protocol::find_command(name);
    Q_ASSERT(found);
    return *found;
}

} // namespace

ReceiverControls::ReceiverControls(
    const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
{
    // Each list of the receiver frame with the command its choice sends.
    const struct
    {
        QComboBox *combo;
        const char *name;
    } lists[] = {
        { w_.cbo_input, "input_source" },
        { w_.cbo_aspect, "aspect" },
        { w_.cbo_display, "display" },
        { w_.cbo_disp_mode, "display_mode" },
        { w_.cbo_output, "output_resolution" },
        { w_.cbo_in_prefer, "input_resolution" },
        { w_.cbo_hdcp_in, "hdcp" },
        { w_.cbo_overscan_en, "overscan" },
        { w_.cbo_overscan_h, "overscan_h" },
        { w_.cbo_overscan_v, "overscan_v" },
        { w_.cbo_audio_en, "audio" },
        { w_.cbo_audio_hdmi, "audio_hdmi" },
        { w_.cbo_audio_lr, "audio_lr" },
        { w_.cbo_standby, "auto_off" },
        { w_.cbo_baudrate, "tx_baudrate" },
    };
    for (const auto &list : lists) {
        lists_.push_back({ list.combo, &command(list.name) });
        QComboBox *combo = list.combo;
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo] { choose(combo); });
    }

    connect(w_.cmd_sys_rst, &QAbstractButton::clicked, this, &ReceiverControls::cmd_sys_rst_Click);
    connect(
        w_.cmd_vga_auto, &QAbstractButton::clicked, this, &ReceiverControls::cmd_vga_auto_Click);
    connect(
        w_.cmd_ctrl_read, &QAbstractButton::clicked, this, &ReceiverControls::cmd_ctrl_read_Click);
    connect(w_.cmd_info, &QAbstractButton::clicked, this, &ReceiverControls::cmd_info_Click);
}

void ReceiverControls::fill_lists()
{
    // The option-list lists (auto-off, input and output resolution) are filled from files.
    for (const SettingList &list : lists_) {
        const QStringList entries = protocol::fixed_entries(*list.command);
        if (!entries.isEmpty())
            fill_combo(list.combo, entries);
    }
}

void ReceiverControls::choose(QComboBox *combo)
{
    for (const SettingList &list : lists_) {
        if (list.combo == combo)
            send_list_choice(ctx_, *list.command, combo, w_.lab_ctrl_reply);
    }
}

void ReceiverControls::cbo_input_Click()
{
    choose(w_.cbo_input);
}
void ReceiverControls::cbo_aspect_Click()
{
    choose(w_.cbo_aspect);
}
void ReceiverControls::cbo_display_Click()
{
    choose(w_.cbo_display);
}
void ReceiverControls::cbo_disp_mode_Click()
{
    choose(w_.cbo_disp_mode);
}
void ReceiverControls::cbo_output_Click()
{
    choose(w_.cbo_output);
}
void ReceiverControls::cbo_in_prefer_Click()
{
    choose(w_.cbo_in_prefer);
}
void ReceiverControls::cbo_hdcp_in_Click()
{
    choose(w_.cbo_hdcp_in);
}
void ReceiverControls::cbo_overscan_en_Click()
{
    choose(w_.cbo_overscan_en);
}
void ReceiverControls::cbo_overscan_h_Click()
{
    choose(w_.cbo_overscan_h);
}
void ReceiverControls::cbo_overscan_v_Click()
{
    choose(w_.cbo_overscan_v);
}
void ReceiverControls::cbo_audio_en_Click()
{
    choose(w_.cbo_audio_en);
}
void ReceiverControls::cbo_audio_hdmi_Click()
{
    choose(w_.cbo_audio_hdmi);
}
void ReceiverControls::cbo_audio_lr_Click()
{
    choose(w_.cbo_audio_lr);
}
void ReceiverControls::cbo_standby_Click()
{
    choose(w_.cbo_standby);
}
void ReceiverControls::cbo_baudrate_Click()
{
    choose(w_.cbo_baudrate);
}

void ReceiverControls::cmd_sys_rst_Click()
{
    handler_steps::press_action(ctx_, w_.cmd_sys_rst,
        protocol::setting_message(command("reset").prefix, "Go"), w_.lab_ctrl_reply);
}

void ReceiverControls::cmd_vga_auto_Click()
{
    handler_steps::press_action(ctx_, w_.cmd_vga_auto,
        protocol::setting_message(command("vga_auto").prefix, "Go"), w_.lab_ctrl_reply);
}

void ReceiverControls::cmd_ctrl_read_Click()
{
    const ReplyTargets targets { [this](int number) -> QComboBox * {
                                    for (const SettingList &list : lists_) {
                                        if (list.command->cmd_number == number)
                                            return list.combo;
                                    }
                                    return nullptr;
                                },
        w_.cbo_input, w_.lab_fw_ver_rx, w_.lab_fw_ver_tx };
    ReadBack read { w_.cmd_ctrl_read, {}, 0.05, w_.lab_ctrl_reply,
        [this, &targets](const protocol::Command &command, const QByteArray &value) {
            apply_reply(targets, ctx_.state, command.cmd_number, value);
        } };
    for (const int number : protocol::readback_order)
        read.commands.push_back(protocol::command_by_number(number));
    read_back(ctx_, read);
}

void ReceiverControls::cmd_info_Click()
{
    w_.lab_fw_ver_rx->clear();
    w_.lab_fw_ver_tx->clear();
    const FocusKeeper disabled(w_.cmd_info);
    QCoreApplication::processEvents();

    // Each reply is cut by length alone: its start is not compared with the prefix.
    const auto query = [this](const char *name, QByteArray *value) {
        const QByteArray prefix(command(name).prefix);
        if (!ctx_.link.send_cmd(protocol::query_message(prefix))) {
            ctx_.fail.show_fail(w_.lab_ctrl_reply, handler_steps::send_fail_text());
            return false;
        }
        *value = protocol::cut_reply(ctx_.link.reply_text(), static_cast<int>(prefix.size()));
        return true;
    };

    QByteArray value;
    if (query("rx_firmware", &value))
        w_.lab_fw_ver_rx->setText(QString::fromLatin1(value));
    if (query("tx_firmware", &value)) {
        w_.lab_fw_ver_tx->setText(QString::fromLatin1(value));
        const protocol::Command &baud = command("tx_baudrate");
        if (query(baud.name, &value)) {
            // Selecting a new rate runs the list's handler, which sends it to the receiver.
            const auto choices = baud.choices;
            for (int position = 0; position < static_cast<int>(choices.size()); ++position) {
                if (value == choices[static_cast<std::size_t>(position)].argument)
                    select_position(w_.cbo_baudrate, position);
            }
        }
    }
}
