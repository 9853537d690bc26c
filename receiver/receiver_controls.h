#pragma once

#include "section/handler_context.h"

#include <QByteArray>
#include <QObject>

#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;
namespace protocol {
struct Command;
}

// The receiver's setting lists and action buttons, their read-back, and the device information.
class ReceiverControls : public QObject
{
    Q_OBJECT
public:
    // The widgets of the receiver frame that these handlers use.
    struct Widgets
    {
        QComboBox *cbo_input, *cbo_aspect, *cbo_display, *cbo_disp_mode, *cbo_output,
            *cbo_in_prefer, *cbo_hdcp_in, *cbo_overscan_en, *cbo_overscan_h, *cbo_overscan_v,
            *cbo_audio_en, *cbo_audio_hdmi, *cbo_audio_lr, *cbo_standby, *cbo_baudrate;
        QAbstractButton *cmd_sys_rst, *cmd_vga_auto, *cmd_ctrl_read, *cmd_info;
        QLabel *lab_ctrl_reply, *lab_fw_ver_rx, *lab_fw_ver_tx;
    };

    ReceiverControls(const HandlerContext &ctx, const Widgets &widgets, QObject *parent = nullptr);

    // Fills the fixed lists of the receiver frame (the input list in its two-entry layout),
    // none selected. The option-list lists (auto-off, input and output resolution) come from files.
    void fill_lists();

    // Change handlers of the setting lists, run by the operator's choice and by code alike.
    // Each sends at most one command; none while a read-back runs or when nothing is selected.
    void cbo_input_Click();
    void cbo_aspect_Click();
    void cbo_display_Click();
    void cbo_disp_mode_Click();
    void cbo_output_Click();
    void cbo_in_prefer_Click();
    void cbo_hdcp_in_Click();
    void cbo_overscan_en_Click();
    void cbo_overscan_h_Click();
    void cbo_overscan_v_Click();
    void cbo_audio_en_Click();
    void cbo_audio_hdmi_Click();
    void cbo_audio_lr_Click();
    void cbo_standby_Click();
    void cbo_baudrate_Click();

    // "System Reset" and the VGA auto adjustment "Start".
    void cmd_sys_rst_Click();
    void cmd_vga_auto_Click();

    // "Read": queries every readable setting and shows the answers in the lists and fields.
    void cmd_ctrl_read_Click();
    // "Get": the firmware versions of receiver and transmitter and the transmitter's baud rate.
    void cmd_info_Click();

private:
    // The change handler of every setting list: the list's command decides what is sent.
    void choose(QComboBox *combo);

    struct SettingList
    {
        QComboBox *combo;
        const protocol::Command *command;
    };
    HandlerContext ctx_;
    Widgets w_;
    std::vector<SettingList> lists_;
};
