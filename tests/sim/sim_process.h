#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <vector>

// kz-orba-sim run as a separate process, as the demo, the manual tests and the fleet benchmark
// run it. KZ_SIM_EXE names the executable.
class SimProcess
{
public:
    explicit SimProcess(const QStringList &args)
    {
        process.setProgram(QStringLiteral(KZ_SIM_EXE));
        process.setArguments(args);
        process.start();
    }
    ~SimProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    // Waits until count listening addresses are printed and returns their ports in order;
    // fewer when the process ends or the time runs out.
    std::vector<quint16> wait_for_listeners(int count, int timeout_ms = 5000)
    {
        static const QRegularExpression line(
            QStringLiteral("kz-orba-sim: listening on 127\\.0\\.0\\.1:(\\d+)\\n"));
        QElapsedTimer timer;
        timer.start();
        std::vector<quint16> ports;
        while (true) {
            // The clients' waits run the event loop, in which the process reads its output.
            output += QString::fromLocal8Bit(process.readAllStandardOutput());
            ports.clear();
            for (auto it = line.globalMatch(output); it.hasNext();)
                ports.push_back(static_cast<quint16>(it.next().captured(1).toUInt()));
            if (static_cast<int>(ports.size()) >= count)
                return ports;
            const int left = timeout_ms - static_cast<int>(timer.elapsed());
            if (left <= 0 || !process.waitForReadyRead(left))
                return ports;
        }
    }

    // Waits until standard output holds text.
    bool wait_for_output(const QString &text, int timeout_ms = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (true) {
            output += QString::fromLocal8Bit(process.readAllStandardOutput());
            if (output.contains(text))
                return true;
            const int left = timeout_ms - static_cast<int>(timer.elapsed());
            if (left <= 0 || !process.waitForReadyRead(left))
                return false;
        }
    }

    QProcess process;
    QString output;
};
