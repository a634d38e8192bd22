// How each service record is read from JSON. Fields are read in the order
// they are declared, and the first that fails stops the record.
#include "kit/ChannelAmount.h"
#include "kit/JsonDecoder.h"
#include "kit/Me.h"
#include "kit/ProjectAmount.h"
#include "kit/Summary.h"
#include "kit/VeskoEvent.h"

namespace vesko {

ChannelAmount ChannelAmount::decode(const json::Value &value)
{
    const json::Object o(value);
    return ChannelAmount{o.required<Channel>(u"channel"), o.required<qint64>(u"mrr")};
}

ProjectAmount ProjectAmount::decode(const json::Value &value)
{
    const json::Object o(value);
    return ProjectAmount{o.required<QString>(u"id"), o.required<QString>(u"name"), o.required<QString>(u"color"),
                         o.required<qint64>(u"mrr")};
}

Summary Summary::decode(const json::Value &value)
{
    const json::Object o(value);
    return Summary(Fields{
        .currency = o.required<QString>(u"currency"),
        .mrr = o.required<qint64>(u"mrr"),
        .arr = o.required<qint64>(u"arr"),
        .active = o.required<qint64>(u"active"),
        .new_ = o.required<qint64>(u"new"),
        .cancelled = o.required<qint64>(u"cancelled"),
        .growth = o.optional<double>(u"growth"),
        .ending = o.required<qint64>(u"ending"),
        .byChannel = o.required<QList<ChannelAmount>>(u"byChannel"),
        .byProject = o.required<QList<ProjectAmount>>(u"byProject"),
        .hasSources = o.required<bool>(u"hasSources"),
        .incomplete = o.required<bool>(u"incomplete"),
        .lastSyncedAt = o.optional<QDateTime>(u"lastSyncedAt"),
    });
}

VeskoEvent::ProjectRef VeskoEvent::ProjectRef::decode(const json::Value &value)
{
    const json::Object o(value);
    return ProjectRef{o.required<QString>(u"id"), o.required<QString>(u"name")};
}

VeskoEvent VeskoEvent::decode(const json::Value &value)
{
    const json::Object o(value);
    return VeskoEvent(Fields{
        .id = o.required<QString>(u"id"),
        .kind = o.required<Kind>(u"kind"),
        .channel = o.required<Channel>(u"channel"),
        .occurredAt = o.required<QDateTime>(u"occurredAt"),
        .amount = o.optional<qint64>(u"amount"),
        .currency = o.required<QString>(u"currency"),
        .interval = o.optional<QString>(u"interval"),
        .planName = o.optional<QString>(u"planName"),
        .customerLabel = o.optional<QString>(u"customerLabel"),
        .project = o.required<ProjectRef>(u"project"),
    });
}

Me Me::decode(const json::Value &value)
{
    const json::Object o(value);
    return Me(Fields{
        .id = o.required<QString>(u"id"),
        .name = o.required<QString>(u"name"),
        .email = o.optional<QString>(u"email"),
        .currency = o.required<QString>(u"currency"),
        .sound = o.required<QString>(u"sound"),
        .notifyCancellations = o.required<bool>(u"notifyCancellations"),
        .countEndingSubscriptions = o.required<bool>(u"countEndingSubscriptions"),
    });
}

} // namespace vesko
