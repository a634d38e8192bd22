#include "app/linux/InstanceMessage.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>

namespace vesko {

namespace {

constexpr qsizetype kindOffset = 4;
constexpr qsizetype lengthOffset = 5;
constexpr qsizetype countSize = 2;

template <typename T>
void appendBigEndian(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToBigEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

} // namespace

std::optional<QByteArray> InstanceMessage::encode(const QStringList &strings, Kind kind)
{
    QByteArray payload;
    for (const QString &argument : strings) {
        const QByteArray utf8 = argument.toUtf8();
        if (utf8.size() > maxSize)
            return std::nullopt;
        appendBigEndian(payload, quint16(utf8.size()));
        payload += utf8;
        if (headerSize + payload.size() > maxSize)
            return std::nullopt;
    }
    QByteArray message(magic, sizeof magic);
    message += char(kind);
    appendBigEndian(message, quint32(payload.size()));
    return message + payload;
}

InstanceMessage InstanceMessage::answer()
{
    return InstanceMessage(bit(Kind::status));
}

bool InstanceMessage::accepts(quint8 kind) const
{
    return kind < 8 && (m_accepted & (1u << kind)) != 0;
}

qsizetype InstanceMessage::bytesWanted() const
{
    return m_status == Status::incomplete ? m_expected - m_buffer.size() : 0;
}

InstanceMessage::Status InstanceMessage::append(QByteArrayView bytes)
{
    if (m_status != Status::incomplete)
        return m_status;
    if (bytes.size() > bytesWanted())
        return refuse(Problem::malformed);
    const qsizetype before = m_buffer.size();
    m_buffer += bytes;

    // A stranger is turned away on its first wrong byte, not after a full header.
    const qsizetype magicEnd = std::min<qsizetype>(m_buffer.size(), sizeof magic);
    for (qsizetype i = before; i < magicEnd; ++i) {
        if (m_buffer[i] != magic[i])
            return refuse(Problem::magic);
    }
    if (before <= kindOffset && m_buffer.size() > kindOffset) {
        if (!accepts(quint8(m_buffer[kindOffset])))
            return refuse(Problem::kind);
        m_kind = Kind(quint8(m_buffer[kindOffset]));
    }

    if (!m_headerRead) {
        if (m_buffer.size() < headerSize || checkHeader() == Status::invalid)
            return m_status;
    }
    return m_buffer.size() == m_expected ? decodePayload() : m_status;
}

InstanceMessage::Status InstanceMessage::checkHeader()
{
    const quint32 length = qFromBigEndian<quint32>(m_buffer.constData() + lengthOffset);
    // Decided from the header alone, before a byte of an oversized payload is read.
    if (length > quint32(maxSize - headerSize))
        return refuse(Problem::tooLarge);
    m_expected = headerSize + qsizetype(length);
    m_headerRead = true;
    return m_status;
}

InstanceMessage::Status InstanceMessage::decodePayload()
{
    QStringList arguments;
    qsizetype at = headerSize;
    while (at < m_buffer.size()) {
        if (m_buffer.size() - at < countSize)
            return refuse(Problem::malformed);
        const qsizetype length = qFromBigEndian<quint16>(m_buffer.constData() + at);
        at += countSize;
        if (m_buffer.size() - at < length)
            return refuse(Problem::malformed);
        // Strict: a leading BOM is kept as text and a bad sequence refuses the message.
        // Stateless, so a sequence cut off at the end is an error, not held back.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        QString argument = utf8(QByteArrayView(m_buffer).sliced(at, length));
        if (utf8.hasError())
            return refuse(Problem::malformed);
        arguments.append(std::move(argument));
        at += length;
    }
    m_arguments = std::move(arguments);
    m_status = Status::complete;
    return m_status;
}

InstanceMessage::Status InstanceMessage::refuse(Problem problem)
{
    m_problem = problem;
    m_status = Status::invalid;
    m_buffer.clear();
    m_arguments.clear();
    return m_status;
}

} // namespace vesko
