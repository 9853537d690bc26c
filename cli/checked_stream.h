#pragma once

#include <QFile>
#include <QIODevice>
#include <QString>

// One of kz-orba-cli's standard streams, as the device its QTextStream writes to, checked at each
// write and at its close: the first failure is kept with the system's reason, so that the run can
// name it and end with a failed status instead of losing its results without a word. After a
// failure nothing more is written to it.
namespace cli {

class CheckedStream : public QIODevice
{
    Q_OBJECT
public:
    // descriptor: 1 or 2, left open until close(); name: how reports call it ("standard
    // output"). With end_on_broken_pipe, a write whose reader has gone (a closed pipe: `| head`)
    // ends the process as the shell expects of a pipe's writer, and nothing more is claimed.
    CheckedStream(int descriptor, const QString &name, bool end_on_broken_pipe);
    ~CheckedStream() override;

    bool failed() const { return !failure_.isEmpty(); }
    // "standard output: No space left on device", or empty.
    QString failure() const
    {
        return failure_.isEmpty() ? QString() : name_ + QStringLiteral(": ") + failure_;
    }

    // Closes the descriptor too, and keeps a failure that shows only then.
    void close() override;

protected:
    qint64 readData(char *data, qint64 size) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QFile file_;
    QString name_;
    QString failure_;
    bool end_on_broken_pipe_;
};

} // namespace cli
