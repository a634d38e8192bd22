#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

namespace vesko {

// What travels over the single-instance socket. On the wire:
//
//   "VSKO"  kind (1 byte)  payload length (uint32, big-endian)  payload
//
// and the payload is a list of strings, each as a uint16 big-endian byte
// count followed by its UTF-8 bytes. A whole message is at most maxSize bytes.
//
// The kinds:
//  - arguments: a second Vesko's command-line arguments. The receiver answers
//    one it accepts with the single byte `acknowledgement` and hangs up.
//  - statusQuery: `vesko status` asking for the figure. The payload is
//    ignored (room for options). The receiver answers with a status message
//    at once and another on each change, until the asker hangs up.
//  - status: that answer, as key/value pairs; a reader skips keys it does
//    not know.
// The kind byte was a version byte (always 1) before queries existed, so an
// older primary turns a query away and the asker falls back on its own.
//
// Decoding is incremental: append bytes as they arrive, never more than
// bytesWanted(), and the message tells as early as it can that it is invalid.
class InstanceMessage
{
public:
    enum class Kind : quint8 {
        arguments = 1,
        statusQuery = 2,
        status = 3
    };

    static constexpr char magic[4] = {'V', 'S', 'K', 'O'};
    static constexpr qsizetype headerSize = 9;
    static constexpr qsizetype maxSize = 4096;
    static constexpr char acknowledgement = '\x06';

    enum class Status {
        incomplete,
        complete,
        invalid
    };
    // Why a message was refused; for the log, which never sees its content.
    enum class Problem {
        none,
        magic,
        kind,
        tooLarge,
        malformed
    };

    // The bytes that carry `strings`; nothing when they would exceed maxSize.
    static std::optional<QByteArray> encode(const QStringList &strings, Kind kind = Kind::arguments);

    // A reader for what a running instance hears from other processes
    // (arguments and status queries), or for the answers to a query.
    InstanceMessage() = default;
    static InstanceMessage answer();

    // Whether this reader takes messages of `kind`; any other is refused at its kind byte.
    bool accepts(quint8 kind) const;

    // How many more bytes complete the header, or after it the message.
    qsizetype bytesWanted() const;
    Status append(QByteArrayView bytes);

    Status status() const { return m_status; }
    Problem problem() const { return m_problem; }
    // Meaningful once complete.
    Kind kind() const { return m_kind; }
    const QStringList &arguments() const { return m_arguments; }

private:
    explicit InstanceMessage(quint8 accepted)
        : m_accepted(accepted)
    {}
    Status refuse(Problem problem);
    Status checkHeader();
    Status decodePayload();

    static constexpr quint8 bit(Kind kind) { return quint8(1u << quint8(kind)); }

    quint8 m_accepted = bit(Kind::arguments) | bit(Kind::statusQuery);
    QByteArray m_buffer;
    qsizetype m_expected = headerSize;
    bool m_headerRead = false;
    Status m_status = Status::incomplete;
    Problem m_problem = Problem::none;
    Kind m_kind = Kind::arguments;
    QStringList m_arguments;
};

} // namespace vesko
