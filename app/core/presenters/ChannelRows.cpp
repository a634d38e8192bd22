#include "app/core/presenters/ChannelRows.h"

#include "kit/Money.h"
#include "kit/Summary.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

bool isPaying(const ChannelAmount &entry)
{
    return entry.mrr() > 0;
}

} // namespace

bool hasPayingChannel(const Summary &summary)
{
    return std::any_of(summary.byChannel().begin(), summary.byChannel().end(), isPaying);
}

ChannelRows channelRows(const Summary &summary)
{
    QList<ChannelAmount> paying;
    std::copy_if(summary.byChannel().begin(), summary.byChannel().end(), std::back_inserter(paying), isPaying);
    qint64 largest = 1;
    for (const ChannelAmount &entry : paying)
        largest = std::max(largest, entry.mrr());

    ChannelRows card{.title = u"Where it comes from"_s};
    card.rows.reserve(paying.size());
    for (const ChannelAmount &entry : paying) {
        ChannelRow row{
            .id = entry.id(),
            .label = entry.channel().label(),
            .source = entry.channel().source(),
            .amount = Money::price(entry.mrr(), summary.currency()),
            .fraction = double(entry.mrr()) / double(largest),
        };
        QStringList spoken{row.label};
        if (!row.source.isEmpty())
            spoken.append(row.source);
        spoken.append(Money::spokenAmount(row.amount));
        row.spoken = spoken.join(u", "_s);
        card.rows.append(row);
    }
    return card;
}

double barFillWidth(double availableWidth, double fraction)
{
    return std::max(6.0, availableWidth * fraction);
}

} // namespace vesko
