#pragma once

#include "section/list_section.h"

class QAbstractButton;
class QComboBox;
class QLabel;

// The receiver's setting lists and action buttons, their read-back, and the device information.
class ReceiverControls : public ListSection
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

    // "System Reset" and the VGA auto adjustment "Start".
    void cmd_sys_rst_Click();
    void cmd_vga_auto_Click();

    // "Read": queries every readable setting and shows the answers in the lists and fields.
    void cmd_ctrl_read_Click();
    // "Get": the firmware versions of receiver and transmitter and the transmitter's baud rate.
    void cmd_info_Click();

private:
    Widgets w_;
};
