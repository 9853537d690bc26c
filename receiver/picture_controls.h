#pragma once

#include "section/list_section.h"

class QAbstractButton;
class QComboBox;
class QLabel;

// The five picture values of the receiver: set, read back, reset. Each list sends its chosen
// value from its change handler without waiting for a reply, and nothing while a read-back runs.
class PictureControls : public ListSection
{
    Q_OBJECT
public:
    // The widgets of the picture frame.
    struct Widgets
    {
        QComboBox *cbo_pic_bri, *cbo_pic_con, *cbo_pic_sat, *cbo_pic_hue, *cbo_pic_sha;
        QAbstractButton *cmd_pic_read, *cmd_pic_rst;
        QLabel *lab_pic_reply;
    };

    PictureControls(const HandlerContext &ctx, const Widgets &widgets, QObject *parent = nullptr);

    // "Read": queries the five values and selects them. A value is read from its leading digits
    // ("07" is 7, "45abc" is 45) and rounded; one outside 0 to 100 names no entry and leaves its
    // list's selection as it was.
    void cmd_pic_read_Click();
    // "Reset": asks the receiver to reset its picture values; the lists are not read back.
    void cmd_pic_rst_Click();

private:
    Widgets w_;
};
