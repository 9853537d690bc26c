#pragma once

#include "sim/receiver_model.h"
#include "sim/sim_faults.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The simulated receiver on a pseudo-terminal: a symbolic link names the slave side, which the
// application opens like a serial port, and a thread of its own answers on the master side.
// Every public function may be called from any thread.
//
// Line states: stopped (no pty, no link) -> serving (start, restart) -> hung up (hang_up, or the
// hang-up fault) -> serving again (restart) or stopped (stop). While hung up the link stays and
// points to the dead slave, so an application that reopens it fails as with a vanished port.
class PtySimulator
{
public:
    explicit PtySimulator(const QByteArray &identify = QByteArrayLiteral("TX"));
    ~PtySimulator();

    PtySimulator(const PtySimulator &) = delete;
    PtySimulator &operator=(const PtySimulator &) = delete;

    // Opens a new pty in raw mode, makes link_path a symbolic link to its slave (an existing
    // symbolic link there is replaced; any other file is left alone and start fails) and begins
    // serving. False, with a reason in error, when any step fails or it is already started.
    bool start(const QString &link_path, QString *error = nullptr);
    // Stops serving, closes the pty and removes the link. Idempotent.
    void stop();
    // Closes the master side now: the application's port sees the far end gone.
    void hang_up();
    // After a hang-up (or at any time once started): a new pty, the same link re-pointed to it.
    // The receiver's settings stay; a partly received message is dropped.
    bool restart(QString *error = nullptr);

    bool serving() const;
    bool hung_up() const;
    // Waits until the line has been hung up, by hang_up or by the hang-up fault.
    bool wait_for_hang_up(int timeout_ms);

    QString slave_name() const;
    QString link_path() const;

    void set_faults(const SimFaults &faults);
    SimFaults faults() const;

    // Complete messages received, oldest first.
    QList<QByteArray> received() const;
    void clear_received();
    // Waits until at least count messages have been received (since the last clear_received).
    bool wait_for_received(int count, int timeout_ms);

    // Runs f on the receiver model under the lock, to read or change its state. f must not call
    // back into the simulator.
    void with_model(const std::function<void(ReceiverModel &)> &f);

    // Writes bytes to the application unasked. False when the line is not being served.
    bool send_raw(const QByteArray &bytes);

    // Called on the serving thread, without the lock held, for every complete message received.
    void set_message_hook(std::function<void(const QByteArray &)> hook);

private:
    bool open_line(QString *error);
    void close_line();
    void start_thread();
    void stop_thread();
    void serve();
    void handle_input(const QByteArray &bytes);
    bool pause(int ms);
    bool write_all(const QByteArray &bytes);
    bool stop_requested() const;
    void hang_up_from_thread();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    ReceiverModel model_;
    SimFaults faults_;
    QByteArray outbox_;
    std::function<void(const QByteArray &)> hook_;
    QString link_path_;
    QString slave_name_;
    bool stop_ = false;
    bool hung_up_ = false;

    // The pty: touched by the serving thread while it runs, otherwise by the caller that
    // stopped it.
    int master_fd_ = -1;
    int slave_fd_ = -1;
    int wake_read_ = -1;
    int wake_write_ = -1;
    std::thread thread_;
    // Serialises start, stop, hang_up and restart against each other.
    std::mutex control_;
};
