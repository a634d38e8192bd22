#include "EventRows.h"

#include "EventText.h"
#include "TimeAgo.h"

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
    return event.kind() == VeskoEvent::Kind::cancelled ? QStringLiteral("Subscription ended")
                                                       : kindTitle(VeskoEvent::Kind::new_);
}

QString detail(const VeskoEvent &event)
{
    QStringList parts{event.channel().label()};
    if (!event.project().name().isEmpty())
        parts.append(event.project().name());
    if (isShown(event.customerLabel()))
        parts.append(*event.customerLabel());
    return parts.join(QStringLiteral(" \u00B7 "));
}

} // namespace

QString badgeText(VeskoEvent::Kind kind)
{
    switch (kind.value()) {
    case VeskoEvent::Kind::new_:
        return QStringLiteral("New");
    case VeskoEvent::Kind::cancelled:
        return QStringLiteral("Cancelled");
    case VeskoEvent::Kind::reactivated:
        return QStringLiteral("Back");
    }
    return {};
}

EventRow eventRow(const VeskoEvent &event, const QDateTime &now)
{
    return {
        .id = event.id(),
        .kind = event.kind(),
        .badge = badgeText(event.kind()),
        .headline = headline(event),
        .detail = detail(event),
        .age = timeAgo(event.occurredAt(), now),
    };
}

EventRows eventRows(const QList<VeskoEvent> &events, const QDateTime &now)
{
    EventRows card{.title = QStringLiteral("Latest veskos")};
    if (events.isEmpty())
        card.emptyText = QStringLiteral("New subscribers show up here the moment they arrive.");
    card.rows.reserve(events.size());
    for (const VeskoEvent &event : events)
        card.rows.append(eventRow(event, now));
    return card;
}

} // namespace vesko
