// The single-instance socket: any local process may write to it. The first
// input byte chooses how the stream is cut into reads; the rest is the stream
// (and, split at NUL bytes, an argument list to encode).
#include "FuzzCheck.h"
#include "InstanceMessage.h"

#include <QtEndian>

#include <algorithm>

using namespace vesko;

namespace {

using Status = InstanceMessage::Status;
using Problem = InstanceMessage::Problem;

struct Fed
{
    InstanceMessage message;
    qsizetype consumed = 0;
};

// Reads `stream` the way the running instance reads its socket: never more
// than bytesWanted() at a time, in pieces of sizes drawn from `seed`.
Fed feed(QByteArrayView stream, quint32 seed)
{
    Fed fed;
    while (fed.message.status() == Status::incomplete && fed.consumed < stream.size()) {
        FUZZ_CHECK(fed.message.bytesWanted() > 0);
        seed = seed * 1103515245u + 12345u;
        const qsizetype piece = std::min({fed.message.bytesWanted(), stream.size() - fed.consumed, qsizetype(1 + (seed >> 16) % 97)});
        fed.message.append(stream.sliced(fed.consumed, piece));
        fed.consumed += piece;
    }
    return fed;
}

void checkComplete(const Fed &fed, QByteArrayView stream)
{
    const QByteArrayView frame = stream.first(fed.consumed);
    FUZZ_CHECK(frame.size() <= InstanceMessage::maxSize);
    FUZZ_CHECK(fed.message.bytesWanted() == 0);
    // One encoding per argument list: what decodes is what encode writes for it.
    const std::optional<QByteArray> encoded = InstanceMessage::encode(fed.message.arguments());
    FUZZ_CHECK(encoded && *encoded == frame);

    // No proper prefix of a frame is a message.
    InstanceMessage prefix;
    for (qsizetype i = 0; i + 1 < frame.size(); ++i)
        FUZZ_CHECK(prefix.append(frame.sliced(i, 1)) == Status::incomplete);
    FUZZ_CHECK(prefix.append(frame.last(1)) == Status::complete);
    FUZZ_CHECK(prefix.arguments() == fed.message.arguments());
}

void checkInvalid(const Fed &fed, QByteArrayView stream)
{
    FUZZ_CHECK(fed.message.arguments().isEmpty() && fed.message.bytesWanted() == 0);
    const QByteArrayView seen = stream.first(fed.consumed);
    switch (fed.message.problem()) {
    case Problem::magic:
        FUZZ_CHECK(!QByteArrayView(InstanceMessage::magic, sizeof InstanceMessage::magic).startsWith(seen.first(std::min<qsizetype>(seen.size(), 4))));
        break;
    case Problem::version:
        FUZZ_CHECK(seen.size() > 4 && quint8(seen[4]) != InstanceMessage::version);
        break;
    case Problem::tooLarge:
        FUZZ_CHECK(seen.size() == InstanceMessage::headerSize);
        FUZZ_CHECK(qFromBigEndian<quint32>(seen.data() + 5) > quint32(InstanceMessage::maxSize - InstanceMessage::headerSize));
        break;
    case Problem::malformed:
        break;
    case Problem::none:
        FUZZ_CHECK(!"a refused message says why");
    }
}

// The frame for `arguments` written out by hand, with no cap.
QByteArray frameOf(const QStringList &arguments)
{
    QByteArray payload;
    for (const QString &argument : arguments) {
        const QByteArray utf8 = argument.toUtf8();
        char count[2];
        qToBigEndian(quint16(utf8.size()), count);
        payload += QByteArrayView(count, 2);
        payload += utf8;
    }
    char length[4];
    qToBigEndian(quint32(payload.size()), length);
    return QByteArray(InstanceMessage::magic, sizeof InstanceMessage::magic) + char(InstanceMessage::version)
        + QByteArray(length, 4) + payload;
}

// Any argument list: within the cap, encode writes its frame and the reader
// gives the list back; beyond it, encode refuses and the reader turns the frame away.
void checkRoundTrip(QByteArrayView stream, quint32 seed)
{
    QStringList arguments;
    for (const QByteArray &piece : QByteArray(stream.data(), stream.size()).split('\0'))
        arguments.append(QString::fromUtf8(piece));
    const QByteArray frame = frameOf(arguments);
    const bool fits = frame.size() <= InstanceMessage::maxSize;

    const std::optional<QByteArray> encoded = InstanceMessage::encode(arguments);
    FUZZ_CHECK(fits ? encoded == frame : !encoded);

    const Fed fed = feed(frame, seed);
    if (fits) {
        FUZZ_CHECK(fed.message.status() == Status::complete && fed.consumed == frame.size());
        FUZZ_CHECK(fed.message.arguments() == arguments);
    } else {
        FUZZ_CHECK(fed.message.status() == Status::invalid && fed.message.problem() == Problem::tooLarge);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const quint32 seed = data[0];
    const QByteArrayView stream(data + 1, qsizetype(size - 1));

    const Fed fed = feed(stream, seed);
    switch (fed.message.status()) {
    case Status::complete:
        checkComplete(fed, stream);
        break;
    case Status::invalid:
        checkInvalid(fed, stream);
        break;
    case Status::incomplete:
        FUZZ_CHECK(fed.consumed == stream.size() && fed.message.bytesWanted() > 0);
        break;
    }
    // Settled is settled: more bytes change nothing.
    if (fed.message.status() != Status::incomplete) {
        InstanceMessage again = fed.message;
        FUZZ_CHECK(again.append("x") == fed.message.status() && again.arguments() == fed.message.arguments());
    }

    // Offered more than it asked for at once, a reader refuses rather than buffers.
    if (stream.size() > InstanceMessage::headerSize) {
        InstanceMessage greedy;
        FUZZ_CHECK(greedy.append(stream) == Status::invalid && greedy.problem() == Problem::malformed);
    }

    checkRoundTrip(stream, seed);
    return 0;
}
