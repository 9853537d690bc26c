#include "cli/value_list.h"

#include "cli/exit_status.h"
#include "cli/requests.h"

#include <QTextStream>

namespace cli {

using namespace model;

int list_values(const Invocation &inv, const OptionLists &lists, Console &console)
{
    // Without a name: the settings' names.
    if (inv.args.isEmpty()) {
        for (const QString &name : setting_names())
            console.out << name << '\n';
        console.out.flush();
        return status_done;
    }
    const QString &name = inv.args.first();
    QString why;
    const Setting *setting = named_setting(name, &why);
    if (!setting) {
        report(console, why);
        return status_usage;
    }
    if (!setting->writable) {
        report(console, QStringLiteral("%1 is read only: read and get show it").arg(name));
        return status_done;
    }
    // The projector port and the display commands take a form, not an entry of a list.
    if (setting->values == Values::PortSettings) {
        report(console,
            QStringLiteral("%1 takes baud,data,parity,stop from the projector port lists, "
                           "e.g. 9600,8,N,1")
                .arg(name));
        return status_done;
    }
    if (setting->values == Values::HexBytes) {
        report(console,
            QStringLiteral("%1 takes hex text such as \"50 57 52 0D\", at most %2 bytes")
                .arg(name)
                .arg(setting->max_bytes));
        return status_done;
    }
    const QStringList values = offered_values(*setting, lists);
    for (const QString &value : values)
        console.out << value << '\n';
    console.out.flush();
    return status_done;
}

} // namespace cli
