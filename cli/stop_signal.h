#pragma once

#include <QObject>
#include <QTimer>

namespace cli {

// SIGINT and SIGTERM, for the commands that run until they are stopped (watch, serve): while one
// of these lives, the signals no longer end the process at once but raise requested() from the
// event loop, so that the lines are closed and the last words written. Standard C signals only,
// so that it builds everywhere the tool does.
class StopSignal : public QObject
{
    Q_OBJECT
public:
    explicit StopSignal(QObject *parent = nullptr);
    ~StopSignal() override;

    // The number of the signal that asked to stop; 0 while none has.
    static int received();

Q_SIGNALS:
    void requested(int signal);

private:
    QTimer check_;
};

} // namespace cli
