#include "cli/requests.h"

#include "cli/input_files.h"
#include "model/profile.h"
#include "model/suggest.h"

namespace cli {

using namespace model;

const Setting *named_setting(const QString &name, QString *why)
{
    if (const std::optional<QString> control = control_byte(name)) {
        *why = QStringLiteral("a setting name holds the control byte %1").arg(*control);
        return nullptr;
    }
    const Setting *setting = find_setting(name);
    if (!setting)
        *why = QStringLiteral("unknown setting \"%1\"%2")
                   .arg(name, did_you_mean(name, setting_names()));
    return setting;
}

bool build_request(const Invocation &inv, grammar::Action action, const OptionLists &lists,
    JobRequest *request, QString *why)
{
    using grammar::Action;
    switch (action) {
    case Action::Read:
        request->kind = JobRequest::Kind::Read;
        return true;
    case Action::Get:
        request->kind = JobRequest::Kind::Get;
        for (const QString &name : inv.args) {
            const Setting *setting = named_setting(name, why);
            if (!setting)
                return false;
            if (!request->names.contains(setting))
                request->names << setting;
        }
        return true;
    case Action::Set:
        request->kind = JobRequest::Kind::Set;
        request->dry_run = inv.dry_run;
        for (const QString &argument : inv.args) {
            ProfileEntry entry;
            if (!parse_assignment(argument, lists, &entry, why))
                return false;
            for (const ProfileEntry &earlier : std::as_const(request->entries)) {
                if (earlier.setting == entry.setting) {
                    *why = QStringLiteral("%1 is given twice")
                               .arg(QLatin1String(entry.setting->name));
                    return false;
                }
            }
            request->entries << entry;
        }
        return true;
    case Action::Apply:
    case Action::Diff: {
        request->kind = action == Action::Apply ? JobRequest::Kind::Apply : JobRequest::Kind::Diff;
        request->dry_run = inv.dry_run;
        QString text, problem;
        Profile profile;
        if (!read_input_file(inv.args.first(), &text, why))
            return false;
        if (!parse_profile(text, lists, &profile, &problem)) {
            *why = QStringLiteral("%1: %2").arg(model::printable(inv.args.first()), problem);
            return false;
        }
        request->entries = profile.writable_in_read_order();
        return true;
    }
    case Action::Key:
    case Action::Reset:
    case Action::VgaAuto: {
        request->kind = JobRequest::Kind::Send;
        request->dry_run = inv.dry_run;
        const QString key = inv.args.value(0);
        const QByteArray name = action == Action::Reset ? "reset"
            : action == Action::VgaAuto                 ? "vga_auto"
                                                        : "key_" + key.toLatin1();
        Step &step = request->command;
        step = *command_step(name);
        step.what = action == Action::Key ? QStringLiteral("key %1").arg(key) : inv.command;
        return true;
    }
    case Action::Ports:
    case Action::Values:
    case Action::Status:
    case Action::Watch:
    case Action::Serve:
    case Action::Help:
    case Action::Completion:
        break;
    }
    *why = QStringLiteral("%1 asks nothing of a receiver").arg(inv.command);
    return false;
}

} // namespace cli
