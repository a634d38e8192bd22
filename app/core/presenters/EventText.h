#pragma once

#include "kit/VeskoEvent.h"

#include <QString>

namespace vesko {

// The texts of one subscription event that the panel's rows and the sale
// notifications share.

// "€9.99 / month": the price, and the interval when the service sent one;
// empty without an amount.
QString priceText(const VeskoEvent &event);

// priceText() for a listener: "€9.99 per month", "hidden" while amounts are
// masked; empty without an amount.
QString spokenPrice(const VeskoEvent &event);

// "New subscription", "Subscription cancelled", "Subscription reactivated".
QString kindTitle(VeskoEvent::Kind kind);

} // namespace vesko
