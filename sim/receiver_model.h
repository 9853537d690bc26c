#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <utility>
#include <vector>

// The receiver's behaviour without any I/O: takes the bytes of the line in, keeps the settings,
// and gives back one reply per complete message. Not thread-safe by itself.
class ReceiverModel
{
public:
    // One complete message taken from the line, its command prefix ("WP_Aspect[") and its reply.
    struct Exchange
    {
        QByteArray message;
        QByteArray prefix;
        QByteArray reply;
    };

    // Messages longer than this without their terminator are abandoned.
    static constexpr int max_text_message = 128;
    // Largest byte count accepted in a display command.
    static constexpr int max_display_bytes = 255;

    explicit ReceiverModel(const QByteArray &identify = QByteArrayLiteral("TX"));

    // Accumulates bytes from the line; returns the reply of every message they complete, in order.
    std::vector<QByteArray> feed(const QByteArray &bytes);
    // The same, with the message and prefix that each reply answers.
    std::vector<Exchange> feed_exchanges(const QByteArray &bytes);

    // Drops a partly received message, as when the line is re-opened.
    void reset_input() { pending_.clear(); }
    // Bytes held while waiting for the rest of a message.
    int pending_size() const { return static_cast<int>(pending_.size()); }

    // Every complete message received, raw, oldest first (at most log_limit when one is set).
    const QList<QByteArray> &received() const { return received_; }
    void clear_received() { received_.clear(); }
    // Keeps only the newest max messages (0: keep all).
    void set_log_limit(int max) { log_limit_ = max; }

    // The value a query of prefix answers (the raw command bytes for the display commands);
    // empty for an unknown prefix.
    QByteArray value(const QByteArray &prefix) const { return values_.value(prefix); }
    // Stores value exactly as given, valid or not, so a test can make the receiver report anything.
    // False for a prefix that carries no value.
    bool set_value(const QByteArray &prefix, const QByteArray &value);
    // Whether a setting message with this argument would be stored.
    bool accepts(const QByteArray &prefix, const QByteArray &argument) const;

    QByteArray identify() const { return values_.value(QByteArrayLiteral("WP_IdentifyTx[")); }
    // Changes the transmitter's identification; the current input is carried over to the
    // input names of that model ("Hdmi" <-> "Hdmi1").
    void set_identify(const QByteArray &word);

    // Puts every setting back to its default (the identification and firmware texts stay).
    void reset_settings();
    // Puts the five picture values back to their defaults.
    void reset_picture();

    // Every prefix with a value and its default, in command order, for the help text.
    static std::vector<std::pair<QByteArray, QByteArray>> defaults();
    // Whether the receiver knows this command prefix.
    static bool is_known_prefix(const QByteArray &prefix);

private:
    enum class Parse { Complete, NeedMore, Resync };

    // Looks for one message at the start of text, which begins with "WP_". On Resync, skip
    // says how many bytes to drop before looking again.
    static Parse take_message(
        QByteArrayView text, QByteArray *message, QByteArray *prefix, qsizetype *skip);
    QByteArray answer(const QByteArray &prefix, const QByteArray &argument);
    QByteArray display_value(const QByteArray &bytes) const;
    void log(const QByteArray &message);

    QByteArray pending_;
    QHash<QByteArray, QByteArray> values_;
    QList<QByteArray> received_;
    int log_limit_ = 0;
};
