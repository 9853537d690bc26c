#include "projector/display_editor.h"

#include "form/placeholder_marks.h"
#include "form/readable_fonts.h"
#include "section/window_state.h"

#include <QAbstractButton>
#include <QLineEdit>

DisplayEditor::DisplayEditor(const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
    , codec_(codec_buf_)
{
    const QFont fixed = command_box_font();
    for (QLineEdit *box : { w_.txt_proj_disp_off_hex, w_.txt_proj_disp_off_text,
             w_.txt_proj_disp_on_hex, w_.txt_proj_disp_on_text })
        box->setFont(fixed);
    show_placeholder_marks(w_.txt_proj_disp_on_text);
    show_placeholder_marks(w_.txt_proj_disp_off_text);
    w_.txt_proj_disp_on_text->setMaxLength(text_box_limit);
    w_.txt_proj_disp_off_text->setMaxLength(text_box_limit);
    w_.txt_proj_disp_on_hex->setMaxLength(hex_box_limit);
    w_.txt_proj_disp_off_hex->setMaxLength(hex_box_limit);

    // clicked, not toggled: a click on the option already selected runs the handler too.
    connect(w_.opt_cmd_fmt_0, &QAbstractButton::clicked, this,
        [this] { opt_cmd_fmt_Click(CommandView::Text); });
    connect(w_.opt_cmd_fmt_1, &QAbstractButton::clicked, this,
        [this] { opt_cmd_fmt_Click(CommandView::Hex); });
    connect(
        w_.cmd_cr_disp_on, &QAbstractButton::clicked, this, &DisplayEditor::cmd_cr_disp_on_Click);
    connect(
        w_.cmd_cr_disp_off, &QAbstractButton::clicked, this, &DisplayEditor::cmd_cr_disp_off_Click);
}

void DisplayEditor::select_view(CommandView index)
{
    (index == CommandView::Text ? w_.opt_cmd_fmt_0 : w_.opt_cmd_fmt_1)->setChecked(true);
    opt_cmd_fmt_Click(index);
}

void DisplayEditor::opt_cmd_fmt_Click(CommandView index)
{
    if (ctx_.state.ui_ready) {
        if (ctx_.state.cmd_fmt == CommandView::Text) {
            codec_.disp_on_hex
                = codec_.text_to_hex(w_.txt_proj_disp_on_text->text(), CommandCodec::display_on);
            codec_.disp_off_hex
                = codec_.text_to_hex(w_.txt_proj_disp_off_text->text(), CommandCodec::display_off);
            w_.txt_proj_disp_on_hex->setText(codec_.disp_on_hex);
            w_.txt_proj_disp_off_hex->setText(codec_.disp_off_hex);
        } else {
            // The hex boxes keep what the operator typed; the records follow the new texts.
            codec_.disp_on_hex = normalize_hex(w_.txt_proj_disp_on_hex->text());
            codec_.disp_off_hex = normalize_hex(w_.txt_proj_disp_off_hex->text());
            w_.txt_proj_disp_on_text->setText(hex_to_text(codec_.disp_on_hex));
            w_.txt_proj_disp_off_text->setText(hex_to_text(codec_.disp_off_hex));
            codec_.record_on_ctl();
            codec_.record_off_ctl();
        }
    }
    ctx_.state.cmd_fmt = index;
    const bool text = index == CommandView::Text;
    for (QWidget *w :
        { static_cast<QWidget *>(w_.txt_proj_disp_on_text),
            static_cast<QWidget *>(w_.txt_proj_disp_off_text),
            static_cast<QWidget *>(w_.cmd_cr_disp_on), static_cast<QWidget *>(w_.cmd_cr_disp_off) })
        w->setVisible(text);
    w_.txt_proj_disp_on_hex->setVisible(!text);
    w_.txt_proj_disp_off_hex->setVisible(!text);
}

void DisplayEditor::cmd_cr_disp_on_Click()
{
    cr_click(CommandCodec::display_on);
}

void DisplayEditor::cmd_cr_disp_off_Click()
{
    cr_click(CommandCodec::display_off);
}

void DisplayEditor::cr_click(int selector)
{
    QLineEdit *box = text_box(selector);
    // setText() cuts to the box's limit, so a full box keeps its text.
    box->setText(box->text() + QChar(placeholder_cr));
    codec_.push_cr(selector);
}

void DisplayEditor::capture_disp_cmds()
{
    if (ctx_.state.cmd_fmt == CommandView::Text) {
        codec_.disp_on_hex
            = codec_.text_to_hex(w_.txt_proj_disp_on_text->text(), CommandCodec::display_on);
        codec_.disp_off_hex
            = codec_.text_to_hex(w_.txt_proj_disp_off_text->text(), CommandCodec::display_off);
    } else {
        codec_.disp_on_hex = normalize_hex(w_.txt_proj_disp_on_hex->text());
        codec_.disp_off_hex = normalize_hex(w_.txt_proj_disp_off_hex->text());
    }
}

void DisplayEditor::show_disp_cmd(int selector)
{
    QString &hex = disp_hex(selector);
    text_box(selector)->setText(hex_to_text(hex));
    hex_box(selector)->setText(hex);
    if (selector == CommandCodec::display_on)
        codec_.record_on_ctl();
    else
        codec_.record_off_ctl();
}

QLineEdit *DisplayEditor::text_box(int selector) const
{
    return selector == CommandCodec::display_on ? w_.txt_proj_disp_on_text
                                                : w_.txt_proj_disp_off_text;
}

QLineEdit *DisplayEditor::hex_box(int selector) const
{
    return selector == CommandCodec::display_on ? w_.txt_proj_disp_on_hex
                                                : w_.txt_proj_disp_off_hex;
}

QString &DisplayEditor::disp_hex(int selector)
{
    return selector == CommandCodec::display_on ? codec_.disp_on_hex : codec_.disp_off_hex;
}
