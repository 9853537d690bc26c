#pragma once

#include "section/prompts.h"

class QWidget;

// Prompts shown to the operator as message boxes and file dialogs over the main window.
class WidgetPrompts : public Prompts
{
public:
    explicit WidgetPrompts(QWidget *parent = nullptr)
        : parent_(parent)
    { }
    void set_parent(QWidget *parent) { parent_ = parent; }

    void message(const QString &text, Icon icon) override;
    Answer question(const QString &text, Icon icon, bool with_cancel) override;
    std::optional<QString> file_dialog(const FileRequest &request) override;

private:
    QWidget *parent_;
};
