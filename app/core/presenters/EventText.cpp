#include "EventText.h"

#include "Money.h"

namespace vesko {

QString priceText(const VeskoEvent &event)
{
    if (!event.amount())
        return {};
    QString text = Money::price(*event.amount(), event.currency());
    // An empty interval from the service reads as absent: it would only
    // leave a dangling separator behind.
    if (event.interval() && !event.interval()->isEmpty())
        text += QStringLiteral(" / ") + *event.interval();
    return text;
}

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

} // namespace vesko
