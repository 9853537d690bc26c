// Fuzzes what read prints of a reply: any value a receiver sends for any setting must print as
// one line, "name = value" or "# name: note", with no byte below 0x20 nor 0x7F and of a bounded
// length; read back as a profile, that line names no setting but its own.
#include "fuzz/fuzz_check.h"
#include "model/profile.h"
#include "model/settings.h"
#include "protocol/byte_buffer.h"
#include "protocol/vocabulary.h"

#include <cstdint>

namespace {

model::OptionLists option_lists()
{
    model::OptionLists lists;
    QString why;
    if (!model::read_option_lists(QStringLiteral(KZ_DATA_DIR), &lists, &why))
        fail("the shipped option lists cannot be read");
    return lists;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const model::OptionLists lists = option_lists();
    if (size < 1)
        return 0;
    const auto all = model::settings();
    const model::Setting &setting = all[data[0] % all.size()];
    const bool single_hdmi = (data[0] & 0x80) != 0;
    const QByteArray value(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray reply = QByteArray(setting.command->prefix) + value + "]$\r";
    ByteBuffer bytes;
    for (const char c : reply.left(75))
        bytes.append(static_cast<std::uint8_t>(c));

    const model::ReadValue read = model::read_value(setting, reply, bytes, single_hdmi, lists);
    const QString name = QLatin1String(setting.name);
    const QString line = read.value
        ? name + QStringLiteral(" = ") + *read.value
        : QStringLiteral("# ") + name + QStringLiteral(": ") + read.problem;
    for (const QChar c : line)
        check(c.unicode() >= 0x20 && c.unicode() != 0x7F, "a control byte in read's line");
    check(line.size() < 1024, "read's line is not bounded");

    model::Profile profile;
    QString why;
    if (model::parse_profile(line + QLatin1Char('\n'), lists, &profile, &why)) {
        for (const model::ProfileEntry &entry : profile.entries)
            check(entry.setting == &setting, "read's line gives another setting");
    }
    return 0;
}
