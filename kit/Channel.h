#pragma once

#include <QHashFunctions>
#include <QString>

#include <functional>
#include <optional>

namespace vesko {

namespace json {
class Value;
}

// The sales channel of an amount or an event. Decoding never fails on an
// unknown channel string: it becomes `other`.
class Channel
{
public:
    enum Value : unsigned char {
        web,
        appStore,
        playStore,
        amazon,
        rcBilling,
        paddle,
        other
    };

    // Implicit: a Channel is its Value, as with an enum.
    constexpr Channel(Value value) // NOLINT(google-explicit-constructor)
        : m_value(value)
    {}
    constexpr Value value() const { return m_value; }

    // Exact match on the wire string (case-sensitive, no trimming).
    static std::optional<Channel> fromRawValue(QStringView raw);

    QString rawValue() const;
    QString label() const;  // "App Store", "Web Billing", …
    QString source() const; // "Stripe" for web, "RevenueCat" for every other case

    friend constexpr bool operator==(Channel, Channel) = default;

    static Channel decode(const json::Value &value);

private:
    Value m_value;
};

inline size_t qHash(Channel channel, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<unsigned>(channel.value()), seed);
}

} // namespace vesko

template <>
struct std::hash<vesko::Channel>
{
    size_t operator()(vesko::Channel channel) const noexcept
    {
        return std::hash<unsigned>()(static_cast<unsigned>(channel.value()));
    }
};
