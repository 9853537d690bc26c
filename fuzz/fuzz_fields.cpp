// Fuzzes the delimited field reader with arbitrary file contents and an arbitrary sequence of
// text, integer and float reads. Checks that the reader always ends, that its first failure
// sticks, and that every value it accepts survives a round trip through the field writer.
#include "fields/fields.h"
#include "fuzz/fuzz_check.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void text_round_trip(const QString &value)
{
    FieldWriter writer;
    writer.write_text(value);
    // The format cannot hold a double quote inside a text; the writer must refuse it.
    if (value.contains(u'"')) {
        check(!writer.ok(), "a text with a double quote was accepted by the writer");
        return;
    }
    check(writer.ok(), "a text the reader gave was refused by the writer");
    FieldReader again(writer.bytes());
    QString back;
    check(again.read_text(back), "a written text cannot be read back");
    check(back == value, "a text changed on its way through writer and reader");
}

void int_round_trip(int value)
{
    FieldWriter writer;
    writer.write_int(value);
    FieldReader again(writer.bytes());
    int back = value ^ 1;
    check(again.read_int(back), "a written integer cannot be read back");
    check(back == value, "an integer changed on its way through writer and reader");
}

void float_round_trip(float value)
{
    FieldWriter writer;
    writer.write_float(value);
    FieldReader again(writer.bytes());
    float back = 0;
    check(again.read_float(back), "a written float cannot be read back");
    check(std::bit_cast<std::uint32_t>(back) == std::bit_cast<std::uint32_t>(value),
        "a float changed on its way through writer and reader");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the reads: two bits per read, cycling through its four pairs.
    const std::uint8_t plan = data[0];
    const QByteArray file(
        reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    FieldReader reader(file);

    // Every successful read consumes at least a byte or a pending comma, so the reader must run
    // out within one field per byte plus the last empty one.
    const int max_fields = static_cast<int>(file.size()) + 1;
    bool failed = false;
    int previous_fields = 0;
    for (int i = 0; i <= max_fields + 1; ++i) {
        const int op = (plan >> (2 * (i % 4))) & 3;
        bool ok = false;
        if (op == 1) {
            int value = 0;
            ok = reader.read_int(value);
            if (ok)
                int_round_trip(value);
        } else if (op == 2) {
            float value = 0;
            ok = reader.read_float(value);
            if (ok) {
                check(std::isfinite(value), "the reader gave a float that is not finite");
                float_round_trip(value);
            }
        } else {
            QString value;
            ok = reader.read_text(value);
            if (ok)
                text_round_trip(value);
        }
        check(reader.fields_read() >= previous_fields, "the field count went down");
        check(reader.fields_read() <= max_fields, "more fields than the data can hold");
        previous_fields = reader.fields_read();
        if (failed)
            check(!ok, "a read succeeded after a failure");
        if (!ok) {
            check(!reader.error().isEmpty(), "a failed read left no reason");
            failed = true;
        }
    }
    check(failed, "the reader never reached the end of its data");
    return 0;
}
