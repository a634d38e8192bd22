#include "kit/Channel.h"

#include "kit/JsonDecoder.h"

#include <array>

namespace vesko {

namespace {

struct ChannelText
{
    Channel::Value value;
    QStringView raw;
    QStringView label;
    QStringView source;
};

constexpr std::array<ChannelText, 7> table{{
    {Channel::web, u"web", u"Web", u"Stripe"},
    {Channel::appStore, u"app_store", u"App Store", u"RevenueCat"},
    {Channel::playStore, u"play_store", u"Play Store", u"RevenueCat"},
    {Channel::amazon, u"amazon", u"Amazon", u"RevenueCat"},
    {Channel::rcBilling, u"rc_billing", u"Web Billing", u"RevenueCat"},
    {Channel::paddle, u"paddle", u"Paddle", u"RevenueCat"},
    {Channel::other, u"other", u"Other", u"RevenueCat"},
}};

static_assert(
    [] {
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i].value != i)
                return false;
        }
        return true;
    }(),
    "the table is indexed by Channel::Value");

const ChannelText &textOf(Channel channel)
{
    return table[static_cast<size_t>(channel.value())];
}

} // namespace

std::optional<Channel> Channel::fromRawValue(QStringView raw)
{
    for (const ChannelText &entry : table) {
        if (entry.raw == raw)
            return entry.value;
    }
    return std::nullopt;
}

QString Channel::rawValue() const
{
    return textOf(*this).raw.toString();
}
QString Channel::label() const
{
    return textOf(*this).label.toString();
}
QString Channel::source() const
{
    return textOf(*this).source.toString();
}

Channel Channel::decode(const json::Value &value)
{
    const QString raw = value.as<QString>();
    return fromRawValue(raw).value_or(Channel::other);
}

} // namespace vesko
