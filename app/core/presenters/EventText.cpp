#include "app/core/presenters/EventText.h"

#include "kit/Money.h"

using namespace Qt::StringLiterals;

namespace vesko {

namespace {

// An empty interval from the service reads as absent: it would only leave a
// dangling separator behind.
QString interval(const VeskoEvent &event)
{
    return event.interval().value_or(QString());
}

} // namespace

QString priceText(const VeskoEvent &event)
{
    if (!event.amount())
        return {};
    QString text = Money::price(*event.amount(), event.currency());
    if (!interval(event).isEmpty())
        text += u" / "_s + interval(event);
    return text;
}

QString spokenPrice(const VeskoEvent &event)
{
    if (!event.amount())
        return {};
    if (Money::masking())
        return u"hidden"_s;
    QString text = Money::price(*event.amount(), event.currency());
    if (!interval(event).isEmpty())
        text += u" per "_s + interval(event);
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
