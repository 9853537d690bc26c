// The Telnet layer of an RFC 2217 connection, fed bytes directly: 0xFF doubled on the way out,
// and on the way in the data bytes and the commands between them, however the stream is cut
// into reads. The wire bytes are written out here rather than taken from the codec's constants.
#include "link/telnet_codec.h"

#include <QTest>

using telnet::Command;

Q_DECLARE_METATYPE(std::vector<Command>)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

Command verb(Command::Kind kind, std::uint8_t option)
{
    Command c;
    c.kind = kind;
    c.option = option;
    return c;
}

Command sub(std::uint8_t option, const QByteArray &data, bool cut = false)
{
    Command c = verb(Command::Kind::Sub, option);
    c.data = data;
    c.cut = cut;
    return c;
}

Command other(std::uint8_t code)
{
    Command c;
    c.code = code;
    return c;
}

struct Decoded
{
    QByteArray data;
    std::vector<Command> commands;
};

Decoded decode(const QList<QByteArray> &reads)
{
    telnet::Decoder decoder;
    Decoded out;
    for (const QByteArray &read : reads)
        decoder.feed(read, &out.data, &out.commands);
    return out;
}

QString describe_all(const std::vector<Command> &commands)
{
    QStringList parts;
    for (const Command &c : commands)
        parts << telnet::describe(c);
    return parts.join(QStringLiteral(" | "));
}

} // namespace

class TestTelnetCodec : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void escape_doubles_every_0xff_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("none") << QByteArray("WP_Aspect[?]$\r") << QByteArray("WP_Aspect[?]$\r");
        QTest::newRow("one") << hex("ff") << hex("ffff");
        QTest::newRow("run of three") << hex("41ffffff42") << hex("41ffffffffffff42");
        QTest::newRow("0xfe and 0xf0 stay") << hex("fef0fd") << hex("fef0fd");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void escape_doubles_every_0xff()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, wire);
        QCOMPARE(telnet::escape(data), wire);
        // What goes out comes back as it was.
        QCOMPARE(decode({ wire }).data, data);
    }

    void the_stream_splits_into_data_and_commands_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<std::vector<Command>>("commands");
        QTest::newRow("plain reply") << QByteArray("WP_Aspect[4:3]$\r")
                                     << QByteArray("WP_Aspect[4:3]$\r") << std::vector<Command> {};
        QTest::newRow("doubled 0xff is one data byte")
            << hex("41ffff42") << hex("41ff42") << std::vector<Command> {};
        QTest::newRow("negotiation inside a reply")
            << hex("5750fffd00fffb2c5d240d") << QByteArray("WP]$\r")
            << std::vector<Command> { verb(Command::Kind::Do, 0), verb(Command::Kind::Will, 44) };
        QTest::newRow("all four verbs")
            << hex("fffb03fffc01fffd00fffe18") << QByteArray()
            << std::vector<Command> { verb(Command::Kind::Will, 3), verb(Command::Kind::Wont, 1),
                   verb(Command::Kind::Do, 0), verb(Command::Kind::Dont, 24) };
        QTest::newRow("baud answer with a doubled 0xff inside")
            << hex("41fffa2c650001ffff00fff042") << QByteArray("AB")
            << std::vector<Command> { sub(44, hex("650001ff00")) };
        QTest::newRow("modem and line state notices between data")
            << hex("31fffa2c6b30fff032fffa2c6a40fff033") << QByteArray("123")
            << std::vector<Command> { sub(44, hex("6b30")), sub(44, hex("6a40")) };
        QTest::newRow("NOP and GA") << hex("fff141fff9") << QByteArray("A")
                                    << std::vector<Command> { other(0xF1), other(0xF9) };
        QTest::newRow("stray IAC before a data byte takes that byte")
            << hex("41ff4243") << QByteArray("AC") << std::vector<Command> { other(0x42) };
        QTest::newRow("subnegotiation broken off by a verb")
            << hex("fffa2c6bfffb0041") << QByteArray("A")
            << std::vector<Command> { sub(44, hex("6b")), verb(Command::Kind::Will, 0) };
        QTest::newRow("option 0xff after SB is an option, not an IAC") << hex(
            "fffaff01fff041") << QByteArray("A") << std::vector<Command> { sub(255, hex("01")) };
        QTest::newRow("endless subnegotiation keeps 64 bytes")
            << (hex("fffa2c") + QByteArray(500, 'x') + hex("fff0") + "A") << QByteArray("A")
            << std::vector<Command> { sub(44, QByteArray(64, 'x'), true) };
    }
    void the_stream_splits_into_data_and_commands()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QByteArray, data);
        QFETCH(std::vector<Command>, commands);
        const Decoded whole = decode({ wire });
        QCOMPARE(whole.data, data);
        QCOMPARE(describe_all(whole.commands), describe_all(commands));
        QVERIFY(whole.commands == commands);
        // Cut in two at every place, and one byte at a time: the same result.
        for (qsizetype cut = 1; cut < wire.size(); ++cut) {
            const Decoded two = decode({ wire.left(cut), wire.mid(cut) });
            QVERIFY2(two.data == data && two.commands == commands,
                qPrintable(QStringLiteral("cut at %1").arg(cut)));
        }
        QList<QByteArray> bytes;
        for (const char c : wire)
            bytes << QByteArray(1, c);
        const Decoded single = decode(bytes);
        QCOMPARE(single.data, data);
        QVERIFY(single.commands == commands);
    }

    void a_command_cut_at_the_end_of_a_read_is_held()
    {
        telnet::Decoder decoder;
        QByteArray data;
        std::vector<Command> commands;
        decoder.feed(hex("41ff"), &data, &commands);
        QCOMPARE(data, QByteArray("A"));
        QVERIFY(decoder.inside_command());
        decoder.feed(hex("ff"), &data, &commands);
        QCOMPARE(data, hex("41ff"));
        QVERIFY(!decoder.inside_command());
        QVERIFY(commands.empty());
    }

    void commands_read_as_rfc2217_names_them_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("text");
        QTest::newRow("baud answer") << hex("fffa2c650001c200fff0")
                                     << QStringLiteral("SB COM-PORT-OPTION SET-BAUDRATE 115200");
        QTest::newRow("baud request") << hex("fffa2c0100002580fff0")
                                      << QStringLiteral("SB COM-PORT-OPTION SET-BAUDRATE 9600");
        QTest::newRow("parity answer")
            << hex("fffa2c6701fff0") << QStringLiteral("SB COM-PORT-OPTION SET-PARITY 1");
        QTest::newRow("modem state")
            << hex("fffa2c6b30fff0") << QStringLiteral("SB COM-PORT-OPTION NOTIFY-MODEMSTATE 48");
        QTest::newRow("verb") << hex("fffd2c") << QStringLiteral("DO COM-PORT-OPTION");
        QTest::newRow("unknown option") << hex("fffb18") << QStringLiteral("WILL 24");
    }
    void commands_read_as_rfc2217_names_them()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, text);
        const Decoded d = decode({ wire });
        QCOMPARE(d.commands.size(), std::size_t(1));
        QCOMPARE(telnet::describe(d.commands.front()), text);
        // And it goes out as it came in.
        QCOMPARE(telnet::encode(d.commands.front()), wire);
    }
};

QTEST_APPLESS_MAIN(TestTelnetCodec)
#include "test_telnet_codec.moc"
