#pragma once

#include "kit/Channel.h"

#include <QString>

namespace vesko {

// MRR of one sales channel. Identified by its channel's wire string, so two
// unknown channels (both `other`) share the identity "other".
class ChannelAmount
{
public:
    ChannelAmount(Channel channel, qint64 mrr)
        : m_channel(channel),
          m_mrr(mrr)
    {}

    Channel channel() const { return m_channel; }
    qint64 mrr() const { return m_mrr; }
    QString id() const { return m_channel.rawValue(); }

    friend bool operator==(const ChannelAmount &, const ChannelAmount &) = default;

    static ChannelAmount decode(const json::Value &value);

private:
    Channel m_channel;
    qint64 m_mrr;
};

} // namespace vesko
