#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace vesko {

class Summary;

// One sales channel with revenue.
struct ChannelRow
{
    Q_GADGET
    Q_PROPERTY(QString label MEMBER label CONSTANT)
    Q_PROPERTY(QString source MEMBER source CONSTANT)
    Q_PROPERTY(QString amount MEMBER amount CONSTANT)
    Q_PROPERTY(double fraction MEMBER fraction CONSTANT)
    Q_PROPERTY(QString spoken MEMBER spoken CONSTANT)

public:
    QString id; // the channel's wire string: the row key, and what picks its colour
    QString label;
    QString source;
    QString amount;
    double fraction = 0; // of the largest channel's MRR; the largest is 1
    QString spoken;      // "Web, Stripe, $100"
};

// The "Where it comes from" card. It is left out when `rows` is empty.
struct ChannelRows
{
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)

public:
    QString title;
    QList<ChannelRow> rows;
};

// Channels with an MRR above zero, in the order the service sent them.
ChannelRows channelRows(const Summary &summary);
// Whether channelRows() has any, without writing their texts.
bool hasPayingChannel(const Summary &summary);

// Width of a channel's bar in a track `availableWidth` wide. Never below 6,
// so that a tiny share stays visible.
double barFillWidth(double availableWidth, double fraction);

} // namespace vesko
