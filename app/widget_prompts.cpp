#include "app/widget_prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon box_icon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Critical:
        return QMessageBox::Critical;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void WidgetPrompts::message(const QString &text, Icon icon)
{
    QMessageBox box(
        box_icon(icon), QCoreApplication::applicationName(), text, QMessageBox::Ok, parent_);
    box.exec();
}

Prompts::Answer WidgetPrompts::question(const QString &text, Icon icon, bool with_cancel)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (with_cancel)
        buttons |= QMessageBox::Cancel;
    QMessageBox box(box_icon(icon), QCoreApplication::applicationName(), text, buttons, parent_);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return with_cancel ? Answer::Cancel : Answer::No;
    }
}

std::optional<QString> WidgetPrompts::file_dialog(const FileRequest &request)
{
    QFileDialog dialog(parent_, request.title, request.folder);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name that does not exist is reported by the caller, in its own words.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    if (!request.filters.isEmpty())
        dialog.selectNameFilter(request.filters.first());
    // The operator's name is taken as typed: no extension is added.
    dialog.setDefaultSuffix(QString());
    // Overwriting is asked by the caller, in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!request.file_name.isEmpty())
        dialog.selectFile(request.file_name);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}
