// Profiles as the model reads them ("name = value" lines, the output of a read), the one
// assignment of set, names made printable for reports, and the nearest word offered for a slip.
// The tables of cases are written with plain string literals.
#undef QT_NO_CAST_FROM_ASCII

#include "model/profile.h"
#include "model/settings.h"
#include "model/suggest.h"
#include "tests/support/data_lists.h"

#include <QTest>

using namespace model;

class TestProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void profile_is_read_output()
    {
        const QString text = QStringLiteral("# room 1\n"
                                            "transmitter = TX\n"
                                            "\n"
                                            "aspect = 16:9 TV\r\n"
                                            "  hue=7  \n"
                                            "display_on_command = 50 57 52 0D\n"
                                            "input_source = Hdmi2\n");
        Profile profile;
        QString why;
        QVERIFY2(parse_profile(text, data_lists(), &profile, &why), qPrintable(why));
        QCOMPARE(profile.entries.size(), 5);
        QCOMPARE(profile.entries.at(2).value, QStringLiteral("7"));
        QCOMPARE(profile.entries.at(2).line, 5);
        // Read-only names are known but are not sent; the rest in the order of a whole read.
        QStringList order;
        for (const ProfileEntry &entry : profile.writable_in_read_order())
            order << QLatin1String(entry.setting->name);
        QCOMPARE(order, (QStringList { "aspect", "input_source", "hue", "display_on_command" }));
    }

    void bad_profiles_name_their_line_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reported");
        QTest::newRow("unknown name") << "aspect = Full\nbrightnes = 50\n"
                                      << "line 2:";
        QTest::newRow("value not offered") << "# x\n\naspect = 16:9\n"
                                           << "line 3:";
        QTest::newRow("not name = value") << "aspect Full\n"
                                          << "line 1:";
        QTest::newRow("twice") << "hue = 1\nhue = 2\n"
                               << "line 2:";
        QTest::newRow("empty name") << "= 5\n"
                                    << "line 1:";
        // An empty file (or one caught while it is rewritten) is no "nothing to do".
        QTest::newRow("empty") << ""
                               << "holds no setting";
        QTest::newRow("blank lines") << "\n  \r\n\t\n"
                                     << "holds no setting";
        QTest::newRow("comments only") << "# room 1\n  # aspect = Full\n"
                                       << "holds no setting";
        QTest::newRow("read-only settings only") << "transmitter = TX\nrx_firmware = V1\n"
                                                 << "holds only read-only settings";
    }

    void bad_profiles_name_their_line()
    {
        QFETCH(QString, text);
        QFETCH(QString, reported);
        Profile profile;
        QString why;
        QVERIFY(!parse_profile(text, data_lists(), &profile, &why));
        QVERIFY2(why.startsWith(reported), qPrintable(why));
    }

    // A file given by mistake as a profile (a password file, as root) is not printed back line
    // by line: a line that is not "name = value" is not quoted, nor a name that is no name.
    void bad_profile_lines_are_not_quoted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reported");
        QTest::newRow("password file line") << "root:$6$Secret.Salt$Hash:19000:0:99999:7:::\n"
                                            << "line 1: not \"name = value\"";
        QTest::newRow("name that is no name") << "Secret Words Here = hue\n"
                                              << "line 1: no setting is named so";
        QTest::newRow("overlong name") << QString(60, 'S') + " = 1\n"
                                       << "line 1: no setting is named so";
        QTest::newRow("a key, its value left out") << "password = Secret\n"
                                                   << "line 1: unknown setting \"password\"";
    }

    void bad_profile_lines_are_not_quoted()
    {
        QFETCH(QString, text);
        QFETCH(QString, reported);
        Profile profile;
        QString why;
        QVERIFY(!parse_profile(text, data_lists(), &profile, &why));
        QVERIFY2(why.startsWith(reported), qPrintable(why));
        QVERIFY2(!why.contains("Secret") && !why.contains("SSSS"), qPrintable(why));
    }

    void names_are_printable_in_reports_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line end") << "room\n1.profile"
                                  << "room\\x0A1.profile";
        QTest::newRow("escape sequence") << "\x1b]0;owned\x07x"
                                         << "\\x1B]0;owned\\x07x";
        QTest::newRow("C1 control") << QString::fromUtf8("a\xc2\x9b"
                                                         "2Jb")
                                    << "a\\x9B2Jb";
        QTest::newRow("delete") << "a\x7f"
                                << "a\\x7F";
        QTest::newRow("letters of any script stay")
            << QString::fromUtf8("salle \xc3\xa9t\xc3\xa9.profile")
            << QString::fromUtf8("salle \xc3\xa9t\xc3\xa9.profile");
    }

    void names_are_printable_in_reports()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(printable(name), shown);
    }

    void set_refuses_read_only_names()
    {
        ProfileEntry entry;
        QString why;
        QVERIFY(!parse_assignment(QStringLiteral("transmitter=TX"), data_lists(), &entry, &why));
        QVERIFY(parse_assignment(QStringLiteral("aspect=Full"), data_lists(), &entry, &why));
    }

    void nearest_word_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("nearest"); // empty: none
        const QStringList names = setting_names();
        QTest::newRow("one letter left out") << "aspct" << names << "aspect";
        QTest::newRow("two letters swapped") << "aspcet" << names << "aspect";
        QTest::newRow("letter case alone") << "HUE" << names << "hue";
        QTest::newRow("case wins over distance") << "off" << QStringList { "Of", "Off" } << "Off";
        QTest::newRow("too far") << "colour" << names << "";
        QTest::newRow("short words allow one edit") << "hx" << names << "";
        QTest::newRow("a tie names none") << "cat" << QStringList { "bat", "hat" } << "";
        QTest::newRow("a value with a space")
            << "16:9 tv" << QStringList { "Full", "16:9 TV", "16:10 TV" } << "16:9 TV";
        QTest::newRow("nothing typed") << "" << names << "";
    }

    void nearest_word()
    {
        QFETCH(QString, word);
        QFETCH(QStringList, candidates);
        QFETCH(QString, nearest);
        QCOMPARE(model::nearest_word(word, candidates).value_or(QString()), nearest);
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "test_profile.moc"
