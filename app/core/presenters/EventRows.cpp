#include "app/core/presenters/EventRows.h"

#include "app/core/presenters/EventText.h"
#include "kit/TimeAgo.h"

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// An empty string from the service reads as absent: it would only leave a
// dangling separator behind.
bool isShown(const std::optional<QString> &text)
{
    return text && !text->isEmpty();
}

QString headline(const VeskoEvent &event)
{
    if (event.amount())
        return priceText(event);
    return event.kind() == VeskoEvent::Kind::cancelled ? u"Subscription ended"_s : kindTitle(VeskoEvent::Kind::new_);
}

// The channel, then the project and the customer when known.
QStringList detailParts(const VeskoEvent &event)
{
    QStringList parts{event.channel().label()};
    if (!event.project().name().isEmpty())
        parts.append(event.project().name());
    if (isShown(event.customerLabel()))
        parts.append(*event.customerLabel());
    return parts;
}

// The row in the order it is seen, with pauses where the eye jumps.
QString spoken(const VeskoEvent &event, const QString &badge, const QString &headline, const QDateTime &now)
{
    const QString price = spokenPrice(event);
    QStringList parts{badge, price.isEmpty() ? headline : price};
    parts += detailParts(event);
    parts.append(spokenTimeAgo(event.occurredAt(), now));
    return parts.join(u", "_s);
}

} // namespace

QString badgeText(VeskoEvent::Kind kind)
{
    switch (kind.value()) {
    case VeskoEvent::Kind::new_:
        return u"New"_s;
    case VeskoEvent::Kind::cancelled:
        return u"Cancelled"_s;
    case VeskoEvent::Kind::reactivated:
        return u"Back"_s;
    }
    return {};
}

EventRow eventRow(const VeskoEvent &event, const QDateTime &now)
{
    const QString badge = badgeText(event.kind());
    const QString title = headline(event);
    return {
        .id = event.id(),
        .kind = event.kind(),
        .badge = badge,
        .headline = title,
        .detail = detailParts(event).join(u" \u00B7 "_s),
        .age = timeAgo(event.occurredAt(), now),
        .spoken = spoken(event, badge, title, now),
    };
}

EventRows eventRows(const QList<VeskoEvent> &events, const QDateTime &now)
{
    EventRows card{.title = u"Latest veskos"_s};
    if (events.isEmpty())
        card.emptyText = u"New subscribers show up here the moment they arrive."_s;
    card.rows.reserve(events.size());
    for (const VeskoEvent &event : events)
        card.rows.append(eventRow(event, now));
    return card;
}

} // namespace vesko
