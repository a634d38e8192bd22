#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

// Well-formed payloads as the service sends them; tests mutate copies.
namespace fixtures {

inline QJsonObject summary()
{
    return QJsonObject{
        {u"currency"_s, u"USD"_s},
        {u"mrr"_s, 1234567},
        {u"arr"_s, 14814804},
        {u"active"_s, 312},
        {u"new"_s, 14},
        {u"cancelled"_s, 3},
        {u"growth"_s, 12.4},
        {u"ending"_s, 4999},
        {u"by_channel"_s, QJsonArray{QJsonObject{{u"channel"_s, u"web"_s}, {u"mrr"_s, 800000}},
                                     QJsonObject{{u"channel"_s, u"app_store"_s}, {u"mrr"_s, 434567}}}},
        {u"by_project"_s,
         QJsonArray{QJsonObject{
             {u"id"_s, u"p1"_s}, {u"name"_s, u"Snoutly"_s}, {u"color"_s, u"#2340FF"_s}, {u"mrr"_s, 1234567}}}},
        {u"has_sources"_s, true},
        {u"incomplete"_s, false},
        {u"last_synced_at"_s, u"2026-03-01T09:30:00Z"_s},
    };
}

inline QJsonObject event(const QString &id = u"ev_1"_s)
{
    return QJsonObject{
        {u"id"_s, id},
        {u"kind"_s, u"new"_s},
        {u"channel"_s, u"play_store"_s},
        {u"occurred_at"_s, u"2026-03-01T11:30:00+02:00"_s},
        {u"amount"_s, 999},
        {u"currency"_s, u"EUR"_s},
        {u"interval"_s, u"month"_s},
        {u"plan_name"_s, u"Pro"_s},
        {u"customer_label"_s, u"ada@example.com"_s},
        {u"project"_s, QJsonObject{{u"id"_s, u"p1"_s}, {u"name"_s, u"Snoutly"_s}}},
    };
}

inline QJsonObject me()
{
    return QJsonObject{
        {u"id"_s, u"u1"_s},
        {u"name"_s, u"Ada"_s},
        {u"email"_s, u"ada@example.com"_s},
        {u"currency"_s, u"USD"_s},
        {u"sound"_s, u"default"_s},
        {u"notify_cancellations"_s, true},
        {u"count_ending_subscriptions"_s, false},
    };
}

inline QByteArray envelope(const QJsonValue &data)
{
    return QJsonDocument(QJsonObject{{u"data"_s, data}}).toJson(QJsonDocument::Compact);
}

} // namespace fixtures
