#include "SaleText.h"

#include "Money.h"

#include <QMap>

namespace vesko {

namespace {

const QString dot = QStringLiteral(" \u00B7 ");

QString kindTitle(VeskoEvent::Kind kind)
{
    switch (kind.value()) {
    case VeskoEvent::Kind::new_:
        return QStringLiteral("New subscription");
    case VeskoEvent::Kind::cancelled:
        return QStringLiteral("Subscription cancelled");
    case VeskoEvent::Kind::reactivated:
        return QStringLiteral("Subscription reactivated");
    }
    return {};
}

QString counted(qsizetype n, const QString &one, const QString &many)
{
    return QString::number(n) + u' ' + (n == 1 ? one : many);
}

// Price and interval, channel, project: the panel's headline and detail
// without the customer, who stays in the panel.
QString line(const VeskoEvent &event)
{
    QStringList parts;
    if (event.amount()) {
        QString price = Money::price(*event.amount(), event.currency());
        if (event.interval() && !event.interval()->isEmpty())
            price += QStringLiteral(" / ") + *event.interval();
        parts << price;
    }
    parts << event.channel().label();
    if (!event.project().name().isEmpty())
        parts << event.project().name();
    return parts.join(dot);
}

} // namespace

Notification saleNotification(const QList<VeskoEvent> &events)
{
    if (events.size() == 1)
        return {kindTitle(events.first().kind()), line(events.first()), {}};

    qsizetype added = 0, back = 0, cancelled = 0;
    QMap<QString, qint64> gained; // by currency, in code order
    for (const VeskoEvent &event : events) {
        switch (event.kind().value()) {
        case VeskoEvent::Kind::new_:
            ++added;
            break;
        case VeskoEvent::Kind::reactivated:
            ++back;
            break;
        case VeskoEvent::Kind::cancelled:
            ++cancelled;
            continue; // what ends brings nothing in
        }
        if (event.amount()) {
            qint64 &sum = gained[event.currency()];
            // Service figures are trusted only so far: saturate, never wrap.
            if (__builtin_add_overflow(sum, *event.amount(), &sum))
                sum = *event.amount() < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        }
    }
    QStringList counts;
    if (added)
        counts << counted(added, QStringLiteral("new subscription"), QStringLiteral("new subscriptions"));
    if (back)
        counts << counted(back, QStringLiteral("reactivated"), QStringLiteral("reactivated"));
    if (cancelled)
        counts << counted(cancelled, QStringLiteral("cancellation"), QStringLiteral("cancellations"));
    QStringList sums;
    for (auto it = gained.cbegin(); it != gained.cend(); ++it)
        sums << (it.value() < 0 ? QString() : QStringLiteral("+")) + Money::price(it.value(), it.key());
    QString title = counts.join(QStringLiteral(", "));
    if (!sums.isEmpty())
        title += dot + sums.join(QStringLiteral(", "));

    QStringList lines;
    for (const VeskoEvent &event : events)
        lines << kindTitle(event.kind()) + dot + line(event);
    return {title, lines.join(u'\n'), {}};
}

} // namespace vesko
