#include "receiver/receiver_controls.h"

#include "link/window_link.h"
#include "model/plans.h"
#include "section/fail_indicator.h"
#include "section/focus_keeper.h"
#include "section/handler_steps.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

ReceiverControls::ReceiverControls(
    const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : ListSection(ctx,
        {
            { widgets.cbo_input, "input_source" },
            { widgets.cbo_aspect, "aspect" },
            { widgets.cbo_display, "display" },
            { widgets.cbo_disp_mode, "display_mode" },
            { widgets.cbo_output, "output_resolution" },
            { widgets.cbo_in_prefer, "input_resolution" },
            { widgets.cbo_hdcp_in, "hdcp" },
            { widgets.cbo_overscan_en, "overscan" },
            { widgets.cbo_overscan_h, "overscan_h" },
            { widgets.cbo_overscan_v, "overscan_v" },
            { widgets.cbo_audio_en, "audio" },
            { widgets.cbo_audio_hdmi, "audio_hdmi" },
            { widgets.cbo_audio_lr, "audio_lr" },
            { widgets.cbo_standby, "auto_off" },
            { widgets.cbo_baudrate, "tx_baudrate" },
        },
        { { widgets.lab_fw_ver_rx, "rx_firmware" }, { widgets.lab_fw_ver_tx, "tx_firmware" } },
        widgets.lab_ctrl_reply, parent)
    , w_(widgets)
{
    connect(w_.cmd_sys_rst, &QAbstractButton::clicked, this, &ReceiverControls::cmd_sys_rst_Click);
    connect(
        w_.cmd_vga_auto, &QAbstractButton::clicked, this, &ReceiverControls::cmd_vga_auto_Click);
    connect(
        w_.cmd_ctrl_read, &QAbstractButton::clicked, this, &ReceiverControls::cmd_ctrl_read_Click);
    connect(w_.cmd_info, &QAbstractButton::clicked, this, &ReceiverControls::cmd_info_Click);
}

void ReceiverControls::cmd_sys_rst_Click()
{
    handler_steps::press_action(
        ctx_, w_.cmd_sys_rst, model::command_step("reset")->message, w_.lab_ctrl_reply);
}

void ReceiverControls::cmd_vga_auto_Click()
{
    handler_steps::press_action(
        ctx_, w_.cmd_vga_auto, model::command_step("vga_auto")->message, w_.lab_ctrl_reply);
}

void ReceiverControls::cmd_ctrl_read_Click()
{
    read_back(w_.cmd_ctrl_read, model::ReadGroup::Receiver, w_.lab_ctrl_reply);
}

void ReceiverControls::cmd_info_Click()
{
    w_.lab_fw_ver_rx->clear();
    w_.lab_fw_ver_tx->clear();
    const FocusKeeper disabled(w_.cmd_info);
    ctx_.link.show_pending_events();

    // Each reply is cut by length alone: its start is not compared with the prefix.
    const auto query = [this](const model::Step &step, QByteArray *value) {
        if (!ctx_.link.send_cmd(step.message)) {
            ctx_.fail.show_fail(w_.lab_ctrl_reply, handler_steps::send_fail_text());
            return false;
        }
        *value = step.cut_value(ctx_.link.reply_text());
        return true;
    };

    // The receiver's version, the transmitter's, and the transmitter's baud rate only when the
    // transmitter answered. Selecting a new rate runs the list's handler, which sends it to the
    // receiver.
    const std::vector<model::Step> plan = model::device_info_plan();
    QByteArray value;
    if (query(plan[0], &value))
        apply_reply(*plan[0].setting, value);
    if (query(plan[1], &value)) {
        apply_reply(*plan[1].setting, value);
        if (query(plan[2], &value))
            apply_reply(*plan[2].setting, value);
    }
}
