// A process that is killed while it rewrites the settings file or a projector file must leave
// each file with its old content or its new one: never missing, truncated or mixed.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <random>
#include <thread>

namespace {

// The two contents the writer alternates between, restated byte for byte.
QByteArray settings_first()
{
    return "3\r\n1\r\n1\r\n\"/var/kz/" + QByteArray("projector-room-").repeated(2100)
        + ".ini\"\r\n0\r\n";
}

QByteArray settings_second()
{
    return "0\r\n0\r\n0\r\n\"\"\r\n2\r\n";
}

QByteArray projector_first()
{
    return "9600\r\n8\r\n\"NONE\"\r\n1\r\n\"" + QByteArray("50 57 52 0D ").repeated(2700)
        + "\"\r\n\"\"\r\n";
}

QByteArray projector_second()
{
    return "115200\r\n7\r\n\"EVEN\"\r\n1.5\r\n\"\"\r\n\"50 57 52 20 4F 46 46 0D \"\r\n";
}

QByteArray read_all(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What a file holds, for the failure message: its size and both ends.
QByteArray describe(const QByteArray &content)
{
    return QByteArray::number(content.size()) + " bytes: " + content.left(40).toPercentEncoding()
        + " ... " + content.right(40).toPercentEncoding();
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killed_writer_leaves_old_or_new_content()
    {
        constexpr int kills = 200;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString settings = dir.filePath(QStringLiteral("KZ_ORBA_CTRL.ini"));
        const QString projector = dir.filePath(QStringLiteral("room 1.ini"));
        const QByteArray contents[2][2] = { { settings_first(), settings_second() },
            { projector_first(), projector_second() } };
        const QString paths[2] = { settings, projector };

        std::mt19937 random(20240607);
        // Kills land from right after the writer's first round to a few rounds later.
        std::uniform_int_distribution<int> delay_us(0, 4000);
        int seen[2][2] = { { 0, 0 }, { 0, 0 } };

        for (int kill = 0; kill < kills; ++kill) {
            QProcess writer;
            writer.setProgram(QStringLiteral(KZ_CRASH_WRITER));
            writer.setArguments({ settings, projector });
            writer.start();
            QVERIFY2(writer.waitForStarted(10000), qPrintable(writer.errorString()));
            while (!writer.canReadLine() && writer.state() == QProcess::Running)
                writer.waitForReadyRead(10000);
            QVERIFY2(writer.readLine() == "ready\n",
                qPrintable(QStringLiteral("the writer did not start writing: %1")
                               .arg(QString::fromLocal8Bit(writer.readAllStandardError()))));

            std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
            QCOMPARE(::kill(static_cast<pid_t>(writer.processId()), SIGKILL), 0);
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            for (int f = 0; f < 2; ++f) {
                const QByteArray now = read_all(paths[f]);
                const int which = now == contents[f][0] ? 0 : now == contents[f][1] ? 1 : -1;
                QVERIFY2(which >= 0,
                    qPrintable(QStringLiteral("kill %1 left %2 holding %3")
                                   .arg(kill)
                                   .arg(QDir(dir.path()).relativeFilePath(paths[f]),
                                       QString::fromLatin1(describe(now)))));
                ++seen[f][which];
            }
        }
        // The kills fell at different points of the cycle, not always after the same write.
        for (int f = 0; f < 2; ++f) {
            QVERIFY2(seen[f][0] > 0 && seen[f][1] > 0,
                qPrintable(QStringLiteral("%1 was always left with the same content (%2 / %3)")
                               .arg(paths[f])
                               .arg(seen[f][0])
                               .arg(seen[f][1])));
        }
        qInfo("settings file: %d first / %d second; projector file: %d first / %d second",
            seen[0][0], seen[0][1], seen[1][0], seen[1][1]);
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "test_crash_safety.moc"
