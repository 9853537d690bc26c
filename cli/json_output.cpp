#include "cli/json_output.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace cli {

using namespace model;

namespace {

bool whole_number(const QString &text, int *number)
{
    bool ok = false;
    *number = text.toInt(&ok);
    return ok && !text.isEmpty() && text == QString::number(*number);
}

QJsonObject value_objects(const JobRequest &request, const JobResult &result,
    const OptionLists &lists, QJsonObject *notes)
{
    QJsonObject settings;
    const bool reads
        = request.kind == JobRequest::Kind::Read || request.kind == JobRequest::Kind::Get;
    if (reads) {
        for (const JobResult::Value &value : result.values) {
            const QString name = QLatin1String(value.setting->name);
            if (value.value) {
                settings.insert(name, typed_value(*value.setting, *value.value, lists));
            } else {
                settings.insert(name, QJsonValue::Null);
                notes->insert(name, value.problem);
            }
        }
    } else {
        for (const ProfileEntry &entry : request.entries)
            settings.insert(QLatin1String(entry.setting->name),
                typed_value(*entry.setting, entry.value, lists));
    }
    return settings;
}

} // namespace

QString result_word(JobEnd end, bool stopped)
{
    if (stopped)
        return QStringLiteral("interrupted");
    switch (end) {
    case JobEnd::Done:
        return QStringLiteral("ok");
    case JobEnd::Differs:
        return QStringLiteral("differs");
    case JobEnd::Failed:
        return QStringLiteral("failed");
    case JobEnd::LineFailed:
        return QStringLiteral("line");
    }
    return QStringLiteral("failed");
}

QJsonValue typed_value(const Setting &setting, const QString &value, const OptionLists &lists)
{
    if (QLatin1String(setting.name) == QLatin1String("projector_port")) {
        const QStringList parts = value.split(QLatin1Char(','));
        QJsonArray array;
        for (const QString &part : parts) {
            int number = 0;
            array << (whole_number(part, &number) ? QJsonValue(number) : QJsonValue(part));
        }
        return array;
    }
    const QStringList entries = offered_values(setting, lists);
    int number = 0;
    if (!entries.isEmpty() && whole_number(value, &number)
        && std::all_of(entries.begin(), entries.end(), [](const QString &entry) {
               int n = 0;
               return whole_number(entry, &n);
           }))
        return number;
    return value;
}

QJsonObject receiver_object(const QString &port, const JobRequest &request, const JobResult &result,
    const OptionLists &lists, int stop_signal)
{
    QJsonObject notes;
    QJsonObject object;
    object.insert(QStringLiteral("port"), port);
    const bool stopped = result.stopped && stop_signal > 0;
    object.insert(
        QStringLiteral("status"), stopped ? 128 + stop_signal : int(exit_status(result.end)));
    object.insert(QStringLiteral("result"), result_word(result.end, result.stopped));
    object.insert(QStringLiteral("error"),
        result.errors.isEmpty() ? QJsonValue(QJsonValue::Null)
                                : QJsonValue(result.errors.join(QLatin1Char('\n'))));
    object.insert(QStringLiteral("settings"), value_objects(request, result, lists, &notes));
    const auto change_array = [&](const QList<JobResult::Change> &list) {
        QJsonArray array;
        for (const JobResult::Change &change : list) {
            QJsonObject object;
            object.insert(QStringLiteral("setting"), QLatin1String(change.setting->name));
            object.insert(QStringLiteral("from"),
                change.from ? typed_value(*change.setting, *change.from, lists)
                            : QJsonValue(QJsonValue::Null));
            object.insert(QStringLiteral("to"), typed_value(*change.setting, change.to, lists));
            array << object;
        }
        return array;
    };
    object.insert(QStringLiteral("changes"), change_array(result.changes));
    object.insert(QStringLiteral("unconfirmed"), change_array(result.unconfirmed));
    object.insert(QStringLiteral("commands"), QJsonArray::fromStringList(result.commands));
    object.insert(QStringLiteral("dry_run"), request.dry_run);
    object.insert(QStringLiteral("notes"), notes);
    return object;
}

QByteArray json_document(const QList<QJsonObject> &receivers)
{
    QJsonArray array;
    for (const QJsonObject &receiver : receivers)
        array << receiver;
    QJsonObject root;
    root.insert(QStringLiteral("schema"), json_schema);
    root.insert(QStringLiteral("receivers"), array);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray usage_document(const QStringList &ports, const QString &message)
{
    QList<QJsonObject> receivers;
    for (const QString &port : ports) {
        JobResult result;
        result.errors << message;
        QJsonObject object = receiver_object(port, JobRequest {}, result, OptionLists {});
        object.insert(QStringLiteral("status"), int(status_usage));
        object.insert(QStringLiteral("result"), QStringLiteral("usage"));
        receivers << object;
    }
    return json_document(receivers);
}

} // namespace cli
