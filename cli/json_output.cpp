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

QString result_word(JobEnd end)
{
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
    const OptionLists &lists)
{
    QJsonObject notes;
    QJsonObject object;
    object.insert(QStringLiteral("port"), port);
    object.insert(QStringLiteral("status"), int(exit_status(result.end)));
    object.insert(QStringLiteral("result"), result_word(result.end));
    object.insert(QStringLiteral("error"),
        result.errors.isEmpty() ? QJsonValue(QJsonValue::Null)
                                : QJsonValue(result.errors.join(QLatin1Char('\n'))));
    object.insert(QStringLiteral("settings"), value_objects(request, result, lists, &notes));
    QJsonArray changes;
    for (const QString &line : result.changes) {
        const QString name = line.section(QLatin1Char(':'), 0, 0);
        const Setting *setting = find_setting(name);
        if (!setting)
            continue;
        QJsonObject change;
        change.insert(QStringLiteral("setting"), name);
        // "name: before -> after"; a value read that no entry names stands as "(no entry)".
        const QString before = line.mid(name.size() + 2).section(QStringLiteral(" -> "), 0, 0);
        QJsonValue from = QJsonValue::Null, to = QJsonValue::Null;
        if (before != QLatin1String("(no entry)"))
            from = typed_value(*setting, before, lists);
        for (const ProfileEntry &entry : request.entries) {
            if (entry.setting == setting)
                to = typed_value(*setting, entry.value, lists);
        }
        change.insert(QStringLiteral("from"), from);
        change.insert(QStringLiteral("to"), to);
        changes << change;
    }
    object.insert(QStringLiteral("changes"), changes);
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

} // namespace cli
