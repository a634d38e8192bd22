#pragma once

#include "app/core/Notification.h"
#include "kit/VeskoEvent.h"

#include <QList>

namespace vesko {

// The notification for events that arrived since the last refresh, in the
// panel's words: one event gets its kind, price and interval, channel and
// project; several get a short title that counts them ("3 new subscriptions",
// "2 new, 1 cancelled") and a body that opens with what they bring in, per
// currency ("+$42.97"), then one line each. The sound is left to the caller.
// `events` must not be empty.
Notification saleNotification(const QList<VeskoEvent> &events);

} // namespace vesko
