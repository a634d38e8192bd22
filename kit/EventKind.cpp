#include "kit/JsonDecoder.h"
#include "kit/VeskoEvent.h"

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

constexpr QStringView rawValues[] = {u"new", u"cancelled", u"reactivated"};

} // namespace

std::optional<VeskoEvent::Kind> VeskoEvent::Kind::fromRawValue(QStringView raw)
{
    for (std::size_t i = 0; i < std::size(rawValues); ++i) {
        if (rawValues[i] == raw)
            return Kind(static_cast<Kind::Value>(i));
    }
    return std::nullopt;
}

QString VeskoEvent::Kind::rawValue() const
{
    return rawValues[m_value].toString();
}

VeskoEvent::Kind VeskoEvent::Kind::decode(const json::Value &value)
{
    const QString raw = value.as<QString>();
    if (const std::optional<Kind> kind = fromRawValue(raw))
        return *kind;
    // Name the offending string, but never paste a huge one into an error.
    // Cut between characters, not inside a surrogate pair.
    constexpr qsizetype shown = 40;
    const qsizetype cut = raw.size() > shown && raw.at(shown - 1).isHighSurrogate() ? shown - 1 : shown;
    const QString quoted = raw.size() > shown ? raw.first(cut) + u"…"_s : raw;
    value.fail(DecodingError::Reason::dataCorrupted, u"unknown event kind \""_s + quoted + u'"');
}

size_t qHash(VeskoEvent::Kind kind, size_t seed) noexcept
{
    return ::qHash(static_cast<unsigned>(kind.value()), seed);
}

} // namespace vesko
