#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Every message box, question and file dialog of the utility goes through this interface,
// so that the handlers never open a window themselves and tests can answer.
class Prompts
{
public:
    enum class Icon { None, Critical, Question };
    enum class Answer { Yes, No, Cancel };

    struct FileRequest
    {
        bool save = false; // a save dialog rather than an open dialog
        QString title; // "Load File" / "Save File"
        QStringList filters; // name filters, first one selected, e.g. "Projector INI (*.ini)"
        QString folder; // folder shown first
        QString file_name; // file name (or full path) filled in
    };

    virtual ~Prompts() = default;

    // A message with an OK button.
    virtual void message(const QString &text, Icon icon) = 0;
    // A question with Yes and No, and Cancel when with_cancel is true.
    virtual Answer question(const QString &text, Icon icon, bool with_cancel) = 0;
    // A file dialog; no value when the operator cancels.
    virtual std::optional<QString> file_dialog(const FileRequest &request) = 0;
};
