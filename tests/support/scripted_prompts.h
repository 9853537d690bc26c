#pragma once

#include "section/prompts.h"

#include <QList>
#include <QStringList>

#include <functional>

// Prompts for tests: records every message, question and file dialog, and answers from lists.
// A question with no answer left gets No; a file dialog with no answer left is cancelled.
class ScriptedPrompts : public Prompts
{
public:
    enum class Kind { Message, Question, File };
    struct Shown
    {
        Kind kind;
        QString text; // the message or question; the title for a file dialog
        Icon icon = Icon::None;
        FileRequest request;
    };

    QList<Shown> shown;
    QList<Answer> answers;
    QList<std::optional<QString>> files;
    // Runs for each prompt as it is shown, e.g. to change files between dialogs.
    std::function<void(const Shown &)> on_show;

    void message(const QString &text, Icon icon) override
    {
        record({ Kind::Message, text, icon, {} });
    }
    Answer question(const QString &text, Icon icon, bool with_cancel) override
    {
        record({ Kind::Question, text, icon, {} });
        if (answers.isEmpty())
            return Answer::No;
        const Answer answer = answers.takeFirst();
        return !with_cancel && answer == Answer::Cancel ? Answer::No : answer;
    }
    std::optional<QString> file_dialog(const FileRequest &request) override
    {
        record({ Kind::File, request.title, Icon::None, request });
        return files.isEmpty() ? std::nullopt : files.takeFirst();
    }

    QStringList texts(Kind kind = Kind::Message) const
    {
        QStringList out;
        for (const Shown &s : shown)
            if (s.kind == kind)
                out << s.text;
        return out;
    }
    void clear() { shown.clear(); }

private:
    void record(const Shown &s)
    {
        shown << s;
        if (on_show)
            on_show(s);
    }
};
