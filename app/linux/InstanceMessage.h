#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

namespace vesko {

// The one message a second Vesko process sends the running one: its
// command-line arguments. On the wire:
//
//   "VSKO"  version (1 byte)  payload length (uint32, big-endian)  payload
//
// and the payload is each argument as a uint16 big-endian byte count followed
// by its UTF-8 bytes. A whole message is at most maxSize bytes. The receiver
// answers a message it accepts with the single byte `acknowledgement`.
//
// Decoding is incremental: append bytes as they arrive, never more than
// bytesWanted(), and the message tells as early as it can that it is invalid.
class InstanceMessage
{
public:
    static constexpr char magic[4] = {'V', 'S', 'K', 'O'};
    static constexpr quint8 version = 1;
    static constexpr qsizetype headerSize = 9;
    static constexpr qsizetype maxSize = 4096;
    static constexpr char acknowledgement = '\x06';

    enum class Status { incomplete, complete, invalid };
    // Why a message was refused; for the log, which never sees its content.
    enum class Problem { none, magic, version, tooLarge, malformed };

    // The bytes that carry `arguments`; nothing when they would exceed maxSize.
    static std::optional<QByteArray> encode(const QStringList &arguments);

    // How many more bytes complete the header, or after it the message.
    qsizetype bytesWanted() const;
    Status append(QByteArrayView bytes);

    Status status() const { return m_status; }
    Problem problem() const { return m_problem; }
    // Meaningful once complete.
    const QStringList &arguments() const { return m_arguments; }

private:
    Status refuse(Problem problem);
    Status checkHeader();
    Status decodePayload();

    QByteArray m_buffer;
    qsizetype m_expected = headerSize;
    bool m_headerRead = false;
    Status m_status = Status::incomplete;
    Problem m_problem = Problem::none;
    QStringList m_arguments;
};

} // namespace vesko
