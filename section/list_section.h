#pragma once

#include "model/plans.h"
#include "section/handler_context.h"

#include <QByteArray>
#include <QObject>

#include <initializer_list>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;

// What the window's list sections share (the receiver frame, the picture values, the projector
// behaviour): each setting with its list or label, filling the lists with the model's entries,
// the lists' change handlers, showing the replies of a read-back and the Read button. The model
// decides what each choice sends and how; a section adds only what is its own.
class ListSection : public QObject
{
    Q_OBJECT
public:
    // A list of the section and the name of the setting it shows.
    struct List
    {
        QComboBox *list;
        const char *setting;
    };
    // A label of the section and the name of the read-only setting it shows.
    struct Label
    {
        QLabel *label;
        const char *setting;
    };

    // Every list sends its choice from its change handler, for the operator's choice and code
    // alike: at most one message, none while a read-back runs or when nothing is selected. A
    // waiting send disables the list; Send::Wait shows "Send fail !" in send_fail when no
    // complete reply comes, Send::WaitQuiet does not examine the reply, Send::NoWait does not wait.
    ListSection(const HandlerContext &ctx, std::initializer_list<List> lists,
        std::initializer_list<Label> labels, QLabel *send_fail, QObject *parent = nullptr);

    // Fills the lists of fixed entries (the input list in its two-entry layout), none selected.
    void fill_lists();
    // Fills the lists whose entries come from the option-list files, none selected.
    void fill_option_lists(const model::OptionLists &lists);

    // Shows the value of a reply to setting's query (without prefix and terminator) in the
    // section's control of it: selects the list entry the value names, sets a label, or (the
    // identification) rebuilds the input list in its layout. A setting without a control here,
    // or a value that names no entry, changes nothing. Selections run the lists' change handlers;
    // a read-back holds state.reading so that they send nothing.
    void apply_reply(const model::Setting &setting, const QByteArray &value);

protected:
    // One read-back button: runs the model's read plan of group, each query through the link's
    // nested wait followed by the step's pause, and shows every value. Stops at the first
    // missing or foreign reply and then shows "Read fail !" in fail_label, or nothing when
    // fail_label is null. Holds state.reading for its whole run and disables the button meanwhile.
    void read_back(QAbstractButton *button, model::ReadGroup group, QLabel *fail_label);

    HandlerContext ctx_;

private:
    struct Control
    {
        const model::Setting *setting;
        QComboBox *list = nullptr;
        QLabel *label = nullptr;
    };

    void choose(const Control &control);

    std::vector<Control> controls_;
    QLabel *send_fail_;
};
