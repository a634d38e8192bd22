// The single-instance socket: any local process may write to it, and a
// status query reads what comes back. The first input byte chooses how the
// stream is cut into reads and which kind a round trip uses; the rest is the
// stream (and, split at NUL bytes, a string list to encode).
#include "app/linux/InstanceMessage.h"
#include "fuzz/FuzzCheck.h"

#include <QtEndian>

#include <algorithm>
#include <array>

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
Fed feed(QByteArrayView stream, quint32 seed, const InstanceMessage &reader = InstanceMessage())
{
    Fed fed{reader, 0};
    while (fed.message.status() == Status::incomplete && fed.consumed < stream.size()) {
        FUZZ_CHECK(fed.message.bytesWanted() > 0);
        seed = seed * 1103515245u + 12345u;
        const qsizetype piece =
            std::min({fed.message.bytesWanted(), stream.size() - fed.consumed, qsizetype(1 + (seed >> 16) % 97)});
        fed.message.append(stream.sliced(fed.consumed, piece));
        fed.consumed += piece;
    }
    return fed;
}

void checkComplete(const Fed &fed, QByteArrayView stream, const InstanceMessage &reader)
{
    const QByteArrayView frame = stream.first(fed.consumed);
    FUZZ_CHECK(frame.size() <= InstanceMessage::maxSize);
    FUZZ_CHECK(fed.message.bytesWanted() == 0);
    // One encoding per argument list: what decodes is what encode writes for it.
    FUZZ_CHECK(fed.message.accepts(quint8(fed.message.kind())) && quint8(frame[4]) == quint8(fed.message.kind()));
    const std::optional<QByteArray> encoded = InstanceMessage::encode(fed.message.arguments(), fed.message.kind());
    FUZZ_CHECK(encoded && *encoded == frame);

    // No proper prefix of a frame is a message.
    InstanceMessage prefix = reader;
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
        FUZZ_CHECK(!QByteArrayView(InstanceMessage::magic, sizeof InstanceMessage::magic)
                        .startsWith(seen.first(std::min<qsizetype>(seen.size(), 4))));
        break;
    case Problem::kind:
        FUZZ_CHECK(seen.size() > 4 && !fed.message.accepts(quint8(seen[4])));
        break;
    case Problem::tooLarge:
        FUZZ_CHECK(seen.size() == InstanceMessage::headerSize);
        FUZZ_CHECK(qFromBigEndian<quint32>(seen.data() + 5)
                   > quint32(InstanceMessage::maxSize - InstanceMessage::headerSize));
        break;
    case Problem::malformed:
        break;
    case Problem::none:
        FUZZ_CHECK(!"a refused message says why");
    }
}

// The frame for `arguments` written out by hand, with no cap.
QByteArray frameOf(const QStringList &arguments, InstanceMessage::Kind kind)
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
    return QByteArray(InstanceMessage::magic, sizeof InstanceMessage::magic) + char(kind) + QByteArray(length, 4)
           + payload;
}

// Any string list of any kind: within the cap, encode writes its frame and the
// reader for that kind gives the list back, while the other side's reader
// turns it away at the kind byte; beyond the cap, encode refuses and the
// reader turns the frame away.
void checkRoundTrip(QByteArrayView stream, quint32 seed)
{
    using Kind = InstanceMessage::Kind;
    const Kind kind = std::array{Kind::arguments, Kind::statusQuery, Kind::status}[seed % 3];
    const InstanceMessage reader = kind == Kind::status ? InstanceMessage::answer() : InstanceMessage();
    const InstanceMessage other = kind == Kind::status ? InstanceMessage() : InstanceMessage::answer();
    QStringList arguments;
    for (const QByteArray &piece : QByteArray(stream.data(), stream.size()).split('\0'))
        arguments.append(QString::fromUtf8(piece));
    const QByteArray frame = frameOf(arguments, kind);
    const bool fits = frame.size() <= InstanceMessage::maxSize;

    const std::optional<QByteArray> encoded = InstanceMessage::encode(arguments, kind);
    FUZZ_CHECK(fits ? encoded == frame : !encoded);

    const Fed refused = feed(frame, seed, other);
    FUZZ_CHECK(refused.message.status() == Status::invalid && refused.message.problem() == Problem::kind
               && refused.consumed <= InstanceMessage::headerSize);

    const Fed fed = feed(frame, seed, reader);
    if (fits) {
        FUZZ_CHECK(fed.message.status() == Status::complete && fed.consumed == frame.size());
        FUZZ_CHECK(fed.message.kind() == kind && fed.message.arguments() == arguments);
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

    // What the running instance reads, and what a status query reads back.
    for (const InstanceMessage &reader : {InstanceMessage(), InstanceMessage::answer()}) {
        const Fed fed = feed(stream, seed, reader);
        switch (fed.message.status()) {
        case Status::complete:
            checkComplete(fed, stream, reader);
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
            InstanceMessage greedy = reader;
            FUZZ_CHECK(greedy.append(stream) == Status::invalid && greedy.problem() == Problem::malformed);
        }
    }

    checkRoundTrip(stream, seed);
    return 0;
}
