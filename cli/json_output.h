#pragma once

#include "cli/exit_status.h"
#include "model/job.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

// kz-orba-cli's one JSON shape, for every command and any number of receivers (schema 1):
// {"schema": 1, "receivers": [{"port": "...", "status": 0, "result": "ok", "error": null,
//   "settings": {...}, "changes": [...], "unconfirmed": [...], "commands": [...],
//   "notes": {...}}]}
// "commands" holds the messages sent that write, as JobResult::commands tells.
// Kept stable: a later schema adds members, never changes what these mean.
namespace cli {

constexpr int json_schema = 1;

// The word for how a receiver's job ended: "ok", "differs" (diff found differences), "failed",
// "line" (the port cannot be opened or the line was lost) or "interrupted" (a stop signal ended
// the run before this receiver's work was done; its status is then 128 + the signal). "usage"
// stands in the document of a refused run (usage_document).
QString result_word(model::JobEnd end, bool stopped = false);

// A value as JSON: a number for a setting whose entries are all whole numbers, the projector
// port as [baud, data bits, parity, stop bits], otherwise the entry's text. Joined with "," an
// array is the profile's text again, and a number written in decimal is too.
QJsonValue typed_value(
    const model::Setting &setting, const QString &value, const model::OptionLists &lists);

// One receiver's object.
// stop_signal: the signal that stopped the run, or 0; a receiver it stopped has status
// 128 + signal.
QJsonObject receiver_object(const QString &port, const model::JobRequest &request,
    const model::JobResult &result, const model::OptionLists &lists, int stop_signal = 0);

// The whole document, with its line end.
QByteArray json_document(const QList<QJsonObject> &receivers);

// The document of a run refused before anything was sent: one object per port named, each with
// status 2, result "usage" and the message as its error.
QByteArray usage_document(const QStringList &ports, const QString &message);

} // namespace cli
