#pragma once

#include "Notification.h"

#include "VeskoEvent.h"

#include <QList>

namespace vesko {

// The notification for events that arrived since the last refresh, in the
// panel's words: one event gets its kind, price and interval, channel and
// project; several become one line that counts them and sums what they
// bring in, per currency ("3 new subscriptions · +$42.97"). The sound is left
// to the caller. `events` must not be empty.
Notification saleNotification(const QList<VeskoEvent> &events);

} // namespace vesko
