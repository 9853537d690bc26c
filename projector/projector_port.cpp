#include "projector/projector_port.h"

#include "fields/fields.h"
#include "link/window_link.h"
#include "section/combo_util.h"
#include "section/fail_indicator.h"
#include "section/handler_steps.h"
#include <QComboBox>
#include <QLabel>

#include <array>

namespace {

using namespace projector_values;

template <typename T, std::size_t N> bool valid(const std::array<T, N> &, int position)
{
    return position >= 0 && position < static_cast<int>(N);
}

} // namespace

ProjectorPort::ProjectorPort(const HandlerContext &ctx, const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , ctx_(ctx)
    , w_(widgets)
{
    connect(w_.cbo_proj_baudrate, &QComboBox::currentIndexChanged, this,
        &ProjectorPort::cbo_proj_baudrate_Click);
    connect(w_.cbo_proj_databit, &QComboBox::currentIndexChanged, this,
        &ProjectorPort::cbo_proj_databit_Click);
    connect(w_.cbo_proj_parity, &QComboBox::currentIndexChanged, this,
        &ProjectorPort::cbo_proj_parity_Click);
    connect(w_.cbo_proj_stopbit, &QComboBox::currentIndexChanged, this,
        &ProjectorPort::cbo_proj_stopbit_Click);
}

void ProjectorPort::fill_lists()
{
    QStringList entries;
    for (int baud : baud_rates)
        entries << QString::number(baud);
    fill_combo(w_.cbo_proj_baudrate, entries);

    entries.clear();
    for (int bits : data_bits)
        entries << QString::number(bits);
    fill_combo(w_.cbo_proj_databit, entries);

    entries.clear();
    for (const Parity &p : parities)
        entries << QLatin1String(p.entry);
    fill_combo(w_.cbo_proj_parity, entries);

    entries.clear();
    for (const StopBits &s : stop_bits)
        entries << QLatin1String(s.entry);
    fill_combo(w_.cbo_proj_stopbit, entries);
}

void ProjectorPort::cbo_proj_baudrate_Click()
{
    const int i = w_.cbo_proj_baudrate->currentIndex();
    if (valid(baud_rates, i))
        values_.baud = baud_rates[static_cast<std::size_t>(i)];
}

void ProjectorPort::cbo_proj_databit_Click()
{
    const int i = w_.cbo_proj_databit->currentIndex();
    if (valid(data_bits, i))
        values_.databits = data_bits[static_cast<std::size_t>(i)];
}

void ProjectorPort::cbo_proj_parity_Click()
{
    const int i = w_.cbo_proj_parity->currentIndex();
    if (valid(parities, i))
        values_.parity = QLatin1String(parities[static_cast<std::size_t>(i)].word);
}

void ProjectorPort::cbo_proj_stopbit_Click()
{
    const int i = w_.cbo_proj_stopbit->currentIndex();
    if (valid(stop_bits, i))
        values_.stopbits = stop_bits[static_cast<std::size_t>(i)].value;
}

void ProjectorPort::show_proj_port()
{
    // Read the values first: each selection runs its handler, which stores its value again.
    const ProjPortValues v = values_;
    select_position(
        w_.cbo_proj_baudrate, position_of(baud_rates, [&](int baud) { return baud == v.baud; }));
    select_position(
        w_.cbo_proj_databit, position_of(data_bits, [&](int bits) { return bits == v.databits; }));
    const QString parity = v.parity.trimmed().toUpper();
    select_position(w_.cbo_proj_parity,
        position_of(parities, [&](const Parity &p) { return parity == QLatin1String(p.word); }));
    select_position(w_.cbo_proj_stopbit,
        position_of(stop_bits, [&](const StopBits &s) { return s.value == v.stopbits; }));
}

QByteArray ProjectorPort::port_message(const ProjPortValues &values)
{
    return projector_values::port_message(values);
}

bool ProjectorPort::parse_port_reply(const QByteArray &argument, ProjPortValues &values)
{
    return projector_values::parse_port_reply(argument, values);
}

bool ProjectorPort::send_port(const QByteArray &message)
{
    const bool ok = ctx_.link.send_cmd(message);
    if (!ok)
        ctx_.fail.show_fail(w_.lab_proj_reply, handler_steps::send_fail_text());
    return ok;
}

bool ProjectorPort::read_port(const model::Step &query)
{
    const bool ok = ctx_.link.send_cmd(query.message);
    const std::optional<QByteArray> argument = query.reply_value(ctx_.link.reply_text());
    if (ok && argument && parse_port_reply(*argument, values_)) {
        show_proj_port();
        return true;
    }
    ctx_.fail.show_fail(w_.lab_proj_reply, handler_steps::read_fail_text());
    return ok;
}
