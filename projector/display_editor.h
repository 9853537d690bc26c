#pragma once

#include "codec/codec.h"
#include "section/handler_context.h"
#include "section/window_state.h"

#include <QObject>

class QAbstractButton;
class QLineEdit;

// The editor of the display-on and display-off commands, in the Text or the Hex view.
//
// The current form of each command is its normalized hex text in the codec (disp_on_hex,
// disp_off_hex). While the operator types only the visible boxes change; capture_disp_cmds()
// brings the hex texts up to date from them, and show_disp_cmd() shows a command in both views.
class DisplayEditor : public QObject
{
    Q_OBJECT
public:
    // Characters a text box and a hex box hold; text set by code is cut to them as well.
    static constexpr int text_box_limit = 50;
    static constexpr int hex_box_limit = 150;

    // The display command boxes, the Text/Hex options and the CR buttons.
    struct Widgets
    {
        QLineEdit *txt_proj_disp_on_text, *txt_proj_disp_off_text, *txt_proj_disp_on_hex,
            *txt_proj_disp_off_hex;
        QAbstractButton *opt_cmd_fmt_0, *opt_cmd_fmt_1, *cmd_cr_disp_on, *cmd_cr_disp_off;
    };

    DisplayEditor(const HandlerContext &ctx, const Widgets &widgets, QObject *parent = nullptr);

    // Selects the option of view index and runs its handler, as the operator's
    // click would. During start-up (ui_ready false) it only records and shows the view.
    void select_view(CommandView index);

    // The "Text"/"Hex" option handler, run by every click, the selected option's included. Once
    // the window has started it first carries both commands over from the view that was showing.
    void opt_cmd_fmt_Click(CommandView index);

    // The CR buttons: append the carriage-return placeholder to the command's text box and a 13
    // to its control-byte record. A full box keeps its text, but the record still takes the 13,
    // so that a placeholder already at the end of the text reads as a carriage return. A full
    // record (75 bytes) does not grow: its last slot becomes 13 instead.
    void cmd_cr_disp_on_Click();
    void cmd_cr_disp_off_Click();

    // Sets disp_on_hex and disp_off_hex from the boxes of the visible view; the boxes stay as
    // they are. A hex entry that is not valid hex gives an empty command.
    void capture_disp_cmds();

    // Shows one command's hex text in both views (normalizing it in place) and rebuilds its
    // control-byte record. selector: CommandCodec::display_on or CommandCodec::display_off.
    void show_disp_cmd(int selector);

    CommandCodec &codec() { return codec_; }
    const CommandCodec &codec() const { return codec_; }

private:
    void cr_click(int selector);
    QLineEdit *text_box(int selector) const;
    QLineEdit *hex_box(int selector) const;
    QString &disp_hex(int selector);

    HandlerContext ctx_;
    Widgets w_;
    // The codec's own working buffer, apart from the link's receive buffer.
    ByteBuffer codec_buf_;
    CommandCodec codec_;
};
