#include "app/core/presenters/SaleText.h"

#include "app/core/presenters/EventText.h"
#include "kit/Money.h"

#include <QMap>

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

const QString dot = u" \u00B7 "_s;

QString counted(qsizetype n, const QString &one, const QString &many)
{
    return QString::number(n) + u' ' + (n == 1 ? one : many);
}

// Price and interval, channel, project: the panel's headline and detail
// without the customer, who stays in the panel.
QString line(const VeskoEvent &event)
{
    QStringList parts;
    if (event.amount())
        parts << priceText(event);
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
    // Notification servers cut titles at about 40 characters (GNOME's banner
    // sooner): the title only counts, and the sums open the body, which every
    // server shows at least the first line of.
    const int kinds = (added > 0) + (back > 0) + (cancelled > 0);
    QString title;
    if (kinds > 1) {
        QStringList counts;
        if (added)
            counts << QString::number(added) + u" new"_s;
        if (back)
            counts << QString::number(back) + u" reactivated"_s;
        if (cancelled)
            counts << QString::number(cancelled) + u" cancelled"_s;
        title = counts.join(u", "_s);
    } else if (added) {
        title = counted(added, u"new subscription"_s, u"new subscriptions"_s);
    } else if (back) {
        title = counted(back, u"subscription reactivated"_s, u"subscriptions reactivated"_s);
    } else {
        title = counted(cancelled, u"subscription cancelled"_s, u"subscriptions cancelled"_s);
    }

    QStringList lines;
    QStringList sums;
    for (auto it = gained.cbegin(); it != gained.cend(); ++it)
        sums << (it.value() < 0 ? QString() : u"+"_s) + Money::price(it.value(), it.key());
    if (!sums.isEmpty())
        lines << sums.join(u", "_s);
    for (const VeskoEvent &event : events)
        lines << kindTitle(event.kind()) + dot + line(event);
    return {title, lines.join(u'\n'), {}};
}

} // namespace vesko
