#include "app/core/presenters/EventText.h"

#include "kit/Money.h"

using namespace Qt::StringLiterals;

namespace vesko {

QString priceText(const VeskoEvent &event)
{
    if (!event.amount())
        return {};
    QString text = Money::price(*event.amount(), event.currency());
    // An empty interval from the service reads as absent: it would only
    // leave a dangling separator behind.
    if (event.interval() && !event.interval()->isEmpty())
        text += u" / "_s + *event.interval();
    return text;
}

QString kindTitle(VeskoEvent::Kind kind)
{
    switch (kind.value()) {
    case VeskoEvent::Kind::new_:
        return u"New subscription"_s;
    case VeskoEvent::Kind::cancelled:
        return u"Subscription cancelled"_s;
    case VeskoEvent::Kind::reactivated:
        return u"Subscription reactivated"_s;
    }
    return {};
}

} // namespace vesko
